#include "app/App.h"
#include "scenes/Scenes.h"

#include <cstring>

SceneEntry SceneTable[kSceneRows];

void FillSceneTable() {
  std::memset(SceneTable, 0, sizeof SceneTable);
  // Rows in playing order; row 10 stays empty and ends the sequence.
  SceneTable[0] = {CartoonInit, CartoonFrame, nullptr};
  SceneTable[1] = {TitleInit, TitleFrame, TitleDone};
  SceneTable[2] = {SpaceInit, SpaceFrame, SpaceDone};
  SceneTable[3] = {TunnelInit, TunnelFrame, nullptr};
  SceneTable[4] = {FireInit, FireFrame, nullptr};
  SceneTable[5] = {FractalInit, FractalFrame, FractalDone};
  SceneTable[6] = {CryptInit, CryptFrame, CryptDone};
  SceneTable[7] = {FacemapInit, FacemapFrame, nullptr};
  SceneTable[8] = {EnviroInit, EnviroFrame, EnviroDone};
  SceneTable[9] = {TempleInit, TempleFrame, TempleDone};
}
