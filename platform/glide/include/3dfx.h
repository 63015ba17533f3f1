/*
 * 3dfx.h: the basic types of every 3Dfx interface, as published (glide.h includes it).
 */
#ifndef THREEDFX_H_INCLUDED
#define THREEDFX_H_INCLUDED

typedef unsigned char  FxU8;
typedef signed char    FxI8;
typedef unsigned short FxU16;
typedef signed short   FxI16;
typedef unsigned int   FxU32;
typedef signed int     FxI32;
typedef int            FxBool;
typedef float          FxFloat;
typedef double         FxDouble;

#define FXTRUE  1
#define FXFALSE 0

#ifndef FX_ENTRY
#define FX_ENTRY
#endif
#ifndef FX_CALL
#define FX_CALL
#endif

#endif /* THREEDFX_H_INCLUDED */
