#include "geom/P3d.h"

#include "gfx/Loaders.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

float ObjectScale = 1.0f;

namespace {

// Files larger than this are not object files; refusing them bounds the memory a load takes.
constexpr long kMaxFileBytes = 64L << 20;
// The shortest text a vertex ("0 0 0" and a separator) and a face (ten numbers) can take: a count
// that could not fit in the rest of the file is refused before anything is allocated.
constexpr size_t kMinVertexChars = 6;
constexpr size_t kMinFaceChars = 20;

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// std::from_chars in the general format for float and double. Where the C++ library has no
// floating-point from_chars (the WebAssembly build's), strtof and strtod read a terminated copy of
// the characters a decimal real is made of (so no hexadecimal, infinity or NaN form), rounding
// the same way: to nearest, from the exact decimal value.
template <class Real>
std::from_chars_result FromChars(const char* first, const char* last, Real& value) {
#if defined(__cpp_lib_to_chars)
  return std::from_chars(first, last, value, std::chars_format::general);
#else
  std::string text;
  for (const char* p = first; p != last && (IsDigit(*p) || *p == '.' || *p == 'e' || *p == 'E' || *p == '+' ||
                                            *p == '-');
       ++p) {
    text += *p;
  }
  char* end = nullptr;
  errno = 0;
  Real read;
  if constexpr (sizeof(Real) == sizeof(float)) {
    read = std::strtof(text.c_str(), &end);
  } else {
    read = std::strtod(text.c_str(), &end);
  }
  const char* stop = first + (end - text.c_str());
  if (stop == first) return {first, std::errc::invalid_argument};
  if (errno == ERANGE) return {stop, std::errc::result_out_of_range};
  value = read;
  return {stop, std::errc()};
#endif
}

struct ParsedFace {
  int32_t texture;
  int32_t vertex[3];
  float u[3];
  float v[3];
};

struct ParsedObject {
  std::vector<std::string> names;
  std::vector<Vertex4> vertices;
  std::vector<ParsedFace> faces;
};

// A cursor over the file's bytes. Every read checks the end; nothing reads past it.
class P3dReader {
 public:
  explicit P3dReader(std::string_view text) : text_(text) {}

  size_t Remaining() const { return text_.size() - pos_; }

  // An integer in the C "%i" forms: optional sign, then 0x and hex digits, 0 and octal digits,
  // or decimal digits. With `wholeToken` the number must end at white space or the end of the
  // file ("08" and "12abc" are refused rather than split); otherwise it ends at the first
  // character that cannot continue it.
  bool ReadInt(int32_t& out, bool wholeToken = true) {
    SkipSpace();
    size_t p = pos_;
    bool negative = false;
    if (p < text_.size() && (text_[p] == '+' || text_[p] == '-')) negative = text_[p++] == '-';
    int base = 10;
    if (p + 1 < text_.size() && text_[p] == '0' && (text_[p + 1] == 'x' || text_[p + 1] == 'X')) {
      base = 16;
      p += 2;
    } else if (p < text_.size() && text_[p] == '0') {
      base = 8;
    }
    uint64_t magnitude = 0;
    const char* first = text_.data() + p;
    const char* last = text_.data() + text_.size();
    auto [end, ec] = std::from_chars(first, last, magnitude, base);
    if (ec != std::errc() || end == first) return false;
    const uint64_t limit = negative ? uint64_t{1} << 31 : (uint64_t{1} << 31) - 1;
    if (magnitude > limit) return false;
    pos_ = static_cast<size_t>(end - text_.data());
    if (wholeToken && !AtTokenEnd()) return false;
    out = negative ? static_cast<int32_t>(-static_cast<int64_t>(magnitude))
                   : static_cast<int32_t>(magnitude);
    return true;
  }

  // A decimal real: optional sign, digits with an optional fraction, optional exponent. No
  // hexadecimal, infinity or NaN forms; a value beyond the float range is refused, one below it
  // reads as zero.
  bool ReadReal(float& out) {
    SkipSpace();
    size_t p = pos_;
    bool negative = false;
    if (p < text_.size() && (text_[p] == '+' || text_[p] == '-')) negative = text_[p++] == '-';
    if (p >= text_.size() || !(IsDigit(text_[p]) || text_[p] == '.')) return false;
    const char* first = text_.data() + p;
    const char* last = text_.data() + text_.size();
    float value = 0.0f;
    auto [end, ec] = FromChars(first, last, value);
    if (end == first) return false;
    if (ec == std::errc::result_out_of_range) {
      double wide = 0.0;
      auto [wideEnd, wideEc] = FromChars(first, last, wide);
      if (wideEc != std::errc() || wideEnd != end || !(wide < 1.0)) return false;
      value = static_cast<float>(wide);  // underflow: a denormal or zero
    } else if (ec != std::errc()) {
      return false;
    }
    pos_ = static_cast<size_t>(end - text_.data());
    if (!AtTokenEnd()) return false;
    out = negative ? -value : value;
    return true;
  }

  // Skips to just after the next line end (or to the end of the file).
  void SkipLine() {
    while (pos_ < text_.size() && text_[pos_] != '\n') ++pos_;
    if (pos_ < text_.size()) ++pos_;
  }

  // The next line without its line end (LF, or CR LF as a text stream reads it). False at the end
  // of the file or for a line longer than kP3dMaxNameLength.
  bool ReadNameLine(std::string& out) {
    if (pos_ >= text_.size()) return false;
    size_t end = pos_;
    while (end < text_.size() && text_[end] != '\n') ++end;
    size_t length = end - pos_;
    if (end < text_.size() && length > 0 && text_[end - 1] == '\r') --length;
    if (length > static_cast<size_t>(kP3dMaxNameLength)) return false;
    out.assign(text_.substr(pos_, length));
    pos_ = end < text_.size() ? end + 1 : end;
    return true;
  }

 private:
  void SkipSpace() {
    while (pos_ < text_.size() && IsSpace(text_[pos_])) ++pos_;
  }
  bool AtTokenEnd() const { return pos_ >= text_.size() || IsSpace(text_[pos_]); }

  std::string_view text_;
  size_t pos_ = 0;
};

// Reads and checks the whole file; false for anything that breaks the format.
bool ParseP3d(std::string_view text, float scale, ParsedObject& parsed) {
  P3dReader reader(text);

  int32_t textureCount = 0;
  if (!reader.ReadInt(textureCount, false)) return false;
  if (textureCount < 0 || textureCount > kP3dMaxTextures) return false;
  reader.SkipLine();
  parsed.names.resize(static_cast<size_t>(textureCount));
  for (std::string& name : parsed.names) {
    if (!reader.ReadNameLine(name)) return false;
  }

  int32_t vertexCount = 0;
  if (!reader.ReadInt(vertexCount)) return false;
  if (vertexCount < 0 || vertexCount > kP3dMaxVertices ||
      static_cast<size_t>(vertexCount) > reader.Remaining() / kMinVertexChars + 1) {
    return false;
  }
  parsed.vertices.resize(static_cast<size_t>(vertexCount));
  for (Vertex4& vertex : parsed.vertices) {
    float a, b, c;
    if (!reader.ReadReal(a) || !reader.ReadReal(b) || !reader.ReadReal(c)) return false;
    // The file's second value is depth, its third the height (up the screen).
    vertex.x = a * 2.0f * scale;
    vertex.z = b * 2.0f * scale;
    vertex.y = -(c * 2.0f * scale);
    vertex.w = 1.0f;
  }

  int32_t faceCount = 0;
  if (!reader.ReadInt(faceCount)) return false;
  if (faceCount < 0 || faceCount > kP3dMaxFaces ||
      static_cast<size_t>(faceCount) > reader.Remaining() / kMinFaceChars + 1) {
    return false;
  }
  parsed.faces.resize(static_cast<size_t>(faceCount));
  for (ParsedFace& face : parsed.faces) {
    if (!reader.ReadInt(face.texture) || face.texture < 0 || face.texture >= textureCount) {
      return false;
    }
    for (int k = 0; k < 3; ++k) {
      if (!reader.ReadInt(face.vertex[k]) || face.vertex[k] < 0 || face.vertex[k] >= vertexCount ||
          !reader.ReadReal(face.u[k]) || !reader.ReadReal(face.v[k])) {
        return false;
      }
    }
  }
  return true;
}

float TexU(float u) { return u * 255.0f; }
float TexV(float v) { return (1.0f - v) * 255.0f; }

}  // namespace

int LoadP3dText(std::string_view text, P3dObject* object, P3dTextureLoader loadTexture) {
  if (!(ObjectScale >= 0.1f && ObjectScale <= 20.0f)) ObjectScale = 1.0f;
  if (object == nullptr || loadTexture == nullptr) return 1;

  ParsedObject parsed;
  if (!ParseP3d(text, ObjectScale, parsed)) return 1;

  // The arrays are allocated before any texture is loaded, so that running out of memory costs
  // no texture memory; they are freed again if a texture then fails.
  const size_t vertexCount = parsed.vertices.size();
  const size_t faceCount = parsed.faces.size();
  Vertex4* vertices = new (std::nothrow) Vertex4[vertexCount > 0 ? vertexCount : 1];
  P3dFace* faces = new (std::nothrow) P3dFace[faceCount > 0 ? faceCount : 1];
  if (vertices == nullptr || faces == nullptr) {
    delete[] vertices;
    delete[] faces;
    return 1;
  }

  object->textureCount = static_cast<int32_t>(parsed.names.size());
  for (size_t i = 0; i < parsed.names.size(); ++i) {
    object->textureIds[i] = loadTexture(parsed.names[i].c_str());
    if (object->textureIds[i] == -1) {
      delete[] vertices;
      delete[] faces;
      return 1;
    }
  }

  std::copy(parsed.vertices.begin(), parsed.vertices.end(), vertices);
  for (size_t i = 0; i < faceCount; ++i) {
    const ParsedFace& in = parsed.faces[i];
    P3dFace& out = faces[i];
    out.texU0 = TexU(in.u[0]);
    out.texU1 = TexU(in.u[1]);
    out.texU2 = TexU(in.u[2]);
    out.texV0 = TexV(in.v[0]);
    out.texV1 = TexV(in.v[1]);
    out.texV2 = TexV(in.v[2]);
    out.vertex0 = in.vertex[0];
    out.vertex1 = in.vertex[1];
    out.vertex2 = in.vertex[2];
    out.textureId = object->textureIds[in.texture];
  }
  object->vertexCount = static_cast<int32_t>(vertexCount);
  object->faceCount = static_cast<int32_t>(faceCount);
  object->vertices = vertices;
  object->faces = faces;
  return 0;
}

int LoadP3d(const char* fileName, P3dObject* object, P3dTextureLoader loadTexture) {
  if (!(ObjectScale >= 0.1f && ObjectScale <= 20.0f)) ObjectScale = 1.0f;
  if (fileName == nullptr) return 1;
  std::FILE* file = std::fopen(fileName, "rb");
  if (file == nullptr) return 1;
  std::string text;
  bool ok = std::fseek(file, 0, SEEK_END) == 0;
  const long size = ok ? std::ftell(file) : -1;
  ok = ok && size >= 0 && size <= kMaxFileBytes && std::fseek(file, 0, SEEK_SET) == 0;
  if (ok) {
    text.resize(static_cast<size_t>(size));
    ok = std::fread(text.data(), 1, text.size(), file) == text.size();
  }
  std::fclose(file);
  if (!ok) return 1;
  return LoadP3dText(text, object, loadTexture);
}

int LoadP3d(const char* fileName, P3dObject* object) {
  return LoadP3d(fileName, object, LoadCelRgb565);
}

void ReleaseP3d(P3dObject* object) {
  if (object == nullptr) return;
  delete[] object->vertices;
  delete[] object->faces;
  object->vertices = nullptr;
  object->faces = nullptr;
  object->vertexCount = 0;
  object->faceCount = 0;
  object->textureCount = 0;
}
