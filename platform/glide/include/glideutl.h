/*
 * glideutl.h: the Glide utility library's routines, as published (glide.h includes it at its end).
 */
#ifndef GLIDEUTL_H_INCLUDED
#define GLIDEUTL_H_INCLUDED

#include "glide.h"

#ifdef __cplusplus
extern "C" {
#endif

FX_ENTRY void FX_CALL guAlphaSource(GrAlphaSource_t mode);
FX_ENTRY void FX_CALL guColorCombineFunction(GrColorCombineFnc_t fnc);
FX_ENTRY void FX_CALL guTexCombineFunction(GrChipID_t tmu, GrTextureCombineFnc_t fnc);
FX_ENTRY void FX_CALL guDrawTriangleWithClip(const GrVertex* a, const GrVertex* b,
                                             const GrVertex* c);
FX_ENTRY void FX_CALL guDrawPolygonVertexListWithClip(int nverts, const GrVertex vlist[]);

#ifdef __cplusplus
}
#endif

#endif /* GLIDEUTL_H_INCLUDED */
