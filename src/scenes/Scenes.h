// The scene operations registered in the scene table, in playing order.
#pragma once

#include <cstdint>

void TitleInit();
int32_t TitleFrame();
void TitleDone();
