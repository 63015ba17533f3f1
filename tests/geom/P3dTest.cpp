#include "geom/P3d.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <string>
#include <vector>

namespace {

// A texture loader standing in for LoadCelRgb565: known names get their ids, others fail.
std::map<std::string, TextureId> KnownTextures;
std::vector<std::string> RequestedTextures;

TextureId FakeLoader(const char* name) {
  RequestedTextures.emplace_back(name);
  auto it = KnownTextures.find(name);
  return it == KnownTextures.end() ? -1 : it->second;
}

class P3dTest : public ::testing::Test {
 protected:
  void SetUp() override {
    KnownTextures = {{"a.cel", 3}, {"b.cel", 7}, {"c.cel", 9}};
    RequestedTextures.clear();
    ObjectScale = 1.0f;
    std::memset(&object_, 0xA5, sizeof object_);  // a pattern to tell "untouched" by
    std::memcpy(&pristine_, &object_, sizeof object_);
  }
  void TearDown() override {
    if (loaded_) ReleaseP3d(&object_);
    ObjectScale = 1.0f;
  }

  int Load(const std::string& text) {
    const int result = LoadP3dText(text, &object_, FakeLoader);
    loaded_ = result == 0;
    return result;
  }
  bool Untouched() const { return std::memcmp(&object_, &pristine_, sizeof object_) == 0; }

  P3dObject object_;
  P3dObject pristine_;
  bool loaded_ = false;
};

// One triangle over three vertices with texture "b.cel" (index 1 of two).
const char* const kTriangle =
    "2\n"
    "a.cel\n"
    "b.cel\n"
    "3\n"
    "1 2 3\n"
    "0 0 0\n"
    "-1 0.5 1e1\n"
    "1\n"
    "1  0 0.25 0.25  1 0 0  2 1 1\n";

TEST_F(P3dTest, LoadsAndMapsAxesAndTextureCoordinates) {
  ObjectScale = 0.5f;
  ASSERT_EQ(Load(kTriangle), 0);
  EXPECT_EQ(object_.textureCount, 2);
  EXPECT_EQ(object_.vertexCount, 3);
  EXPECT_EQ(object_.faceCount, 1);
  EXPECT_EQ(RequestedTextures, (std::vector<std::string>{"a.cel", "b.cel"}));
  EXPECT_EQ(object_.textureIds[0], 3);
  EXPECT_EQ(object_.textureIds[1], 7);

  // a b c = 1 2 3 at scale 0.5: x = a, depth z = b, y = -c.
  const Vertex4& v = object_.vertices[0];
  EXPECT_EQ(v.x, 1.0f);
  EXPECT_EQ(v.y, -3.0f);
  EXPECT_EQ(v.z, 2.0f);
  EXPECT_EQ(v.w, 1.0f);
  EXPECT_EQ(object_.vertices[2].x, -1.0f);
  EXPECT_EQ(object_.vertices[2].y, -10.0f);
  EXPECT_EQ(object_.vertices[2].z, 0.5f);

  const P3dFace& f = object_.faces[0];
  EXPECT_EQ(f.textureId, 7);  // index 1 resolved through textureIds
  EXPECT_EQ(f.vertex0, 0);
  EXPECT_EQ(f.vertex1, 1);
  EXPECT_EQ(f.vertex2, 2);
  EXPECT_EQ(f.texU0, 63.75f);
  EXPECT_EQ(f.texV0, 191.25f);
  EXPECT_EQ(f.texU1, 0.0f);
  EXPECT_EQ(f.texV1, 255.0f);
  EXPECT_EQ(f.texU2, 255.0f);
  EXPECT_EQ(f.texV2, 0.0f);
}

TEST_F(P3dTest, ScaleIsClampedAndTheClampSticks) {
  struct Case {
    float scale;
    float used;
  };
  const Case cases[] = {{0.05f, 1.0f}, {25.0f, 1.0f}, {-2.0f, 1.0f}, {0.1f, 0.1f},
                        {20.0f, 20.0f}, {0.7f, 0.7f}, {std::numeric_limits<float>::quiet_NaN(), 1.0f},
                        {std::numeric_limits<float>::infinity(), 1.0f}};
  for (const Case& c : cases) {
    ObjectScale = c.scale;
    P3dObject object{};
    ASSERT_EQ(LoadP3dText("1\nc.cel\n1\n1 0 0\n0\n", &object, FakeLoader), 0);
    EXPECT_EQ(ObjectScale, c.used) << c.scale;
    EXPECT_EQ(object.vertices[0].x, 1.0f * 2.0f * c.used) << c.scale;
    ReleaseP3d(&object);
  }
  // The clamp happens even when the file is missing.
  ObjectScale = 30.0f;
  P3dObject object{};
  EXPECT_EQ(LoadP3d("no-such-object.p3d", &object, FakeLoader), 1);
  EXPECT_EQ(ObjectScale, 1.0f);
}

TEST_F(P3dTest, NoTexturesConsumesTheCountLine) {
  // The rest of the count line is ignored, whatever it holds; the vertex count follows it.
  ASSERT_EQ(Load("0 textures: none 12 34\n2\n1 2 3 4 5 6\n0\n"), 0);
  EXPECT_EQ(object_.textureCount, 0);
  EXPECT_EQ(object_.vertexCount, 2);
  EXPECT_EQ(object_.faceCount, 0);
  EXPECT_TRUE(RequestedTextures.empty());
  EXPECT_EQ(object_.vertices[1].x, 8.0f);
}

TEST_F(P3dTest, NamesAreWholeLines) {
  // Names keep inner and outer spaces; CR LF ends a line like LF; 99 characters is allowed.
  const std::string longName(99, 'n');
  KnownTextures[" spaced name.cel "] = 1;
  KnownTextures[longName] = 2;
  ASSERT_EQ(Load("2 \r\n spaced name.cel \r\n" + longName + "\r\n0\r\n0\r\n"), 0);
  EXPECT_EQ(RequestedTextures, (std::vector<std::string>{" spaced name.cel ", longName}));
  EXPECT_EQ(object_.textureIds[1], 2);
}

TEST_F(P3dTest, IntegersInDecimalHexAndOctal) {
  std::string text = "1\na.cel\n0x0A\n";
  for (int i = 0; i < 10; ++i) text += std::to_string(i) + " 0 0\n";
  text += "+01\n0  0x9 0 0  010 0 0  -0 0 0\n";  // one face: vertices 9, 8, 0
  ASSERT_EQ(Load(text), 0);
  EXPECT_EQ(object_.vertexCount, 10);
  EXPECT_EQ(object_.faceCount, 1);
  EXPECT_EQ(object_.faces[0].vertex0, 9);
  EXPECT_EQ(object_.faces[0].vertex1, 8);
  EXPECT_EQ(object_.faces[0].vertex2, 0);
  EXPECT_EQ(object_.faces[0].textureId, 3);
}

TEST_F(P3dTest, MissingTextureFailsAfterLoadingTheOnesBefore) {
  const std::string text =
      "3\na.cel\nmissing.cel\nc.cel\n3\n0 0 0\n1 0 0\n0 0 1\n1\n0 0 0 0 1 1 0 2 0 1\n";
  ASSERT_EQ(Load(text), 1);
  EXPECT_EQ(RequestedTextures, (std::vector<std::string>{"a.cel", "missing.cel"}));
  EXPECT_EQ(object_.textureCount, 3);
  EXPECT_EQ(object_.textureIds[0], 3);
  EXPECT_EQ(object_.textureIds[1], -1);
  EXPECT_EQ(object_.vertexCount, pristine_.vertexCount);
  EXPECT_EQ(object_.faceCount, pristine_.faceCount);
  EXPECT_EQ(object_.vertices, pristine_.vertices);
  EXPECT_EQ(object_.faces, pristine_.faces);
}

TEST_F(P3dTest, MalformedFilesAreRejectedUntouched) {
  const std::string v3 = "3\n0 0 0\n1 0 0\n0 0 1\n";
  struct Case {
    const char* what;
    std::string text;
  };
  const Case cases[] = {
      {"empty file", ""},
      {"only white space", " \n\t\r\n"},
      {"texture count unreadable", "x\n0\n0\n"},
      {"texture count negative", "-1\n0\n0\n"},
      {"seventeen textures", "17\n" + std::string(17 * 6, 'a') + "\n0\n0\n"},
      {"texture count beyond 32 bits", "4294967296\n0\n0\n"},
      {"fewer names than counted", "2\na.cel\n"},
      {"name of 100 characters", "1\n" + std::string(100, 'n') + "\n0\n0\n"},
      {"vertex count missing", "1\na.cel\n"},
      {"vertex count unreadable", "1\na.cel\nthree\n"},
      {"vertex count negative", "1\na.cel\n-3\n0\n"},
      {"vertex count absurd", "1\na.cel\n2000000000\n0 0 0\n0\n"},
      {"vertex count larger than the file", "1\na.cel\n1000\n0 0 0\n0\n"},
      {"vertex count with a fraction", "1\na.cel\n3.0\n0 0 0\n1 0 0\n0 0 1\n0\n"},
      {"premature end in the vertices", "1\na.cel\n3\n0 0 0\n1 0 0\n0 0\n"},
      {"vertex unreadable", "1\na.cel\n1\n0 zero 0\n0\n"},
      {"vertex not finite", "1\na.cel\n1\n0 1e99 0\n0\n"},
      {"vertex as infinity", "1\na.cel\n1\n0 inf 0\n0\n"},
      {"vertex as NaN", "1\na.cel\n1\nnan 0 0\n0\n"},
      {"vertex as hexadecimal real", "1\na.cel\n1\n0x1p3 0 0\n0\n"},
      {"face count missing", "1\na.cel\n" + v3},
      {"face count negative", "1\na.cel\n" + v3 + "-1\n"},
      {"face count absurd", "1\na.cel\n" + v3 + "2147483647\n0 0 0 0 1 0 0 2 0 0\n"},
      {"premature end in the faces", "1\na.cel\n" + v3 + "2\n0 0 0 0 1 0 0 2 0 0\n0 0 0 0\n"},
      {"texture index equal to the count", "1\na.cel\n" + v3 + "1\n1 0 0 0 1 0 0 2 0 0\n"},
      {"texture index negative", "1\na.cel\n" + v3 + "1\n-1 0 0 0 1 0 0 2 0 0\n"},
      {"texture index with no textures", "0\n" + v3 + "1\n0 0 0 0 1 0 0 2 0 0\n"},
      {"vertex index equal to the count", "1\na.cel\n" + v3 + "1\n0 0 0 0 1 0 0 3 0 0\n"},
      {"vertex index negative", "1\na.cel\n" + v3 + "1\n0 0 0 0 -1 0 0 2 0 0\n"},
      {"vertex index huge", "1\na.cel\n" + v3 + "1\n0 0 0 0 0x7fffffff 0 0 2 0 0\n"},
      {"vertex index 08 is no octal", "1\na.cel\n" + v3 + "1\n0 0 0 0 08 0 0 2 0 0\n"},
      {"vertex index 0x without digits", "1\na.cel\n" + v3 + "1\n0 0 0 0 0x 0 0 2 0 0\n"},
      {"texture coordinate unreadable", "1\na.cel\n" + v3 + "1\n0 0 u 0 1 0 0 2 0 0\n"},
      {"number glued to text", "1\na.cel\n" + v3 + "1\n0 0 0 0 1 0 0 2 0 0x\n"},
  };
  for (const Case& c : cases) {
    SetUp();
    EXPECT_EQ(Load(c.text), 1) << c.what;
    EXPECT_TRUE(Untouched()) << c.what;
    EXPECT_TRUE(RequestedTextures.empty()) << c.what;
    if (loaded_) ReleaseP3d(&object_);
    loaded_ = false;
  }
}

TEST_F(P3dTest, ReadsFilesWithCrLfAndRefusesMissingOnes) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "keldrin_p3d_test";
  std::filesystem::create_directories(dir);
  const std::filesystem::path lf = dir / "lf.p3d", crlf = dir / "crlf.p3d";
  std::string crlfText;
  for (const char* p = kTriangle; *p; ++p) {
    if (*p == '\n') crlfText += '\r';
    crlfText += *p;
  }
  std::ofstream(lf, std::ios::binary) << kTriangle;
  std::ofstream(crlf, std::ios::binary) << crlfText;

  P3dObject a{}, b{};
  ASSERT_EQ(LoadP3d(lf.c_str(), &a, FakeLoader), 0);
  ASSERT_EQ(LoadP3d(crlf.c_str(), &b, FakeLoader), 0);
  EXPECT_EQ(RequestedTextures, (std::vector<std::string>{"a.cel", "b.cel", "a.cel", "b.cel"}));
  EXPECT_EQ(a.vertexCount, b.vertexCount);
  EXPECT_EQ(std::memcmp(a.vertices, b.vertices, sizeof(Vertex4) * 3), 0);
  EXPECT_EQ(std::memcmp(a.faces, b.faces, sizeof(P3dFace)), 0);
  ReleaseP3d(&a);
  ReleaseP3d(&b);
  EXPECT_EQ(a.vertices, nullptr);

  EXPECT_EQ(LoadP3d((dir / "absent.p3d").c_str(), &object_, FakeLoader), 1);
  EXPECT_EQ(LoadP3d(dir.c_str(), &object_, FakeLoader), 1);  // a directory is no object file
  EXPECT_EQ(LoadP3d(nullptr, &object_, FakeLoader), 1);
  EXPECT_TRUE(Untouched());
  std::filesystem::remove_all(dir);
}

}  // namespace
