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
  SceneTable[7] = {FacemapInit, FacemapFrame, nullptr};
  SceneTable[8] = {EnviroInit, EnviroFrame, EnviroDone};
}
