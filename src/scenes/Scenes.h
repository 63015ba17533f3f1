// The scene operations registered in the scene table, in playing order.
#pragma once

#include <cstdint>
