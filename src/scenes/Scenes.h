// The scene operations registered in the scene table, in playing order.
#pragma once

#include <cstdint>

void CartoonInit();
int32_t CartoonFrame();

void TitleInit();
int32_t TitleFrame();
void TitleDone();

void FacemapInit();
int32_t FacemapFrame();

void EnviroInit();
int32_t EnviroFrame();
void EnviroDone();

void SpaceInit();
int32_t SpaceFrame();
void SpaceDone();

void TunnelInit();
int32_t TunnelFrame();

void FireInit();
int32_t FireFrame();
void FractalInit();
int32_t FractalFrame();
void FractalDone();
void CryptInit();
int32_t CryptFrame();
void CryptDone();
void TempleInit();
int32_t TempleFrame();
void TempleDone();
