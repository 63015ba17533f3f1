// The published functions of the Glide reference's rendering chapter: points, triangles and
// polygons, the utility library's clipping draws, the clip window, culling and the statistics.
#include "GlideApi.h"

using glide::ApiCall;
using glide::Guard;
using glide::TheContext;

extern "C" {

void grDrawTriangle(const GrVertex* a, const GrVertex* b, const GrVertex* c) {
  Guard(__func__, [&](const ApiCall& call) {
    if (!call.ValidVertices(a, b, c)) return;
    TheContext().DrawTriangle(*a, *b, *c);
  });
}

void grDrawPoint(const GrVertex* pt) {
  Guard(__func__, [&](const ApiCall& call) {
    if (!call.ValidVertices(pt)) return;
    TheContext().DrawPoint(*pt);
  });
}

void grDrawPolygon(int nverts, const int ilist[], const GrVertex vlist[]) {
  Guard(__func__, [&](const ApiCall& call) {
    if (nverts < 3 || !call.ValidVertices(ilist, vlist)) return;
    TheContext().DrawPolygon(nverts, vlist, ilist, false);
  });
}

void grDrawPlanarPolygon(int nverts, const int ilist[], const GrVertex vlist[]) {
  Guard(__func__, [&](const ApiCall& call) {
    if (nverts < 3 || !call.ValidVertices(ilist, vlist)) return;
    TheContext().DrawPolygon(nverts, vlist, ilist, true);
  });
}

void grDrawPolygonVertexList(int nverts, const GrVertex vlist[]) {
  Guard(__func__, [&](const ApiCall& call) {
    if (nverts < 3 || !call.ValidVertices(vlist)) return;
    TheContext().DrawPolygon(nverts, vlist, nullptr, false);
  });
}

void grDrawPlanarPolygonVertexList(int nverts, const GrVertex vlist[]) {
  Guard(__func__, [&](const ApiCall& call) {
    if (nverts < 3 || !call.ValidVertices(vlist)) return;
    TheContext().DrawPolygon(nverts, vlist, nullptr, true);
  });
}

void guDrawTriangleWithClip(const GrVertex* a, const GrVertex* b, const GrVertex* c) {
  Guard(__func__, [&](const ApiCall& call) {
    if (!call.ValidVertices(a, b, c)) return;
    TheContext().DrawTriangleWithClip(*a, *b, *c);
  });
}

void guDrawPolygonVertexListWithClip(int nverts, const GrVertex vlist[]) {
  Guard(__func__, [&](const ApiCall& call) {
    if (nverts < 3 || !call.ValidVertices(vlist)) return;
    TheContext().DrawPolygonWithClip(nverts, vlist);
  });
}

void grClipWindow(FxU32 minx, FxU32 miny, FxU32 maxx, FxU32 maxy) {
  Guard(__func__, [&](const ApiCall&) { TheContext().SetClipWindow(minx, miny, maxx, maxy); });
}

void grCullMode(GrCullMode_t mode) {
  Guard(__func__, [&](const ApiCall& call) {
    if (mode < GR_CULL_DISABLE || mode > GR_CULL_POSITIVE) return call.Refuse("unknown mode %d", mode);
    TheContext().SetCullMode(mode);
  });
}

void grTriStats(FxU32* trisProcessed, FxU32* trisDrawn) {
  Guard(__func__, [&](const ApiCall&) {
    FxU32 processed, drawn;
    TheContext().TriStats(processed, drawn);
    if (trisProcessed) *trisProcessed = processed;
    if (trisDrawn) *trisDrawn = drawn;
  });
}

void grResetTriStats(void) {
  Guard(__func__, [](const ApiCall&) { TheContext().ResetTriStats(); });
}

void grHints(GrHint_t hintType, FxU32 hintMask) {
  Guard(__func__, [&](const ApiCall& call) {
    if (hintType == GR_HINT_STWHINT && (hintMask & ~GR_STWHINT_W_DIFF_FBI) != 0) {
      call.Refuse("separate TMU W or S/T per vertex is not supported (mask 0x%X)", hintMask);
    }
  });
}

}  // extern "C"
