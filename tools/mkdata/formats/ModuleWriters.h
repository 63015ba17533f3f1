// Module file writers: a song becomes the bytes of a 4-channel ProTracker "M.K." MOD or a Scream
// Tracker 3 S3M. Both check the song against their format first and return an error text instead
// of bytes for anything the format cannot hold (a note out of range, a cell needing two effect
// slots, an odd MOD loop), so a file is either exact or not written at all.
#pragma once

#include "formats/Song.h"

namespace mkdata::music {

// ProTracker notes span C-1..B-3, which are tracker notes 36..71 here.
constexpr int kModLowestNote = 36;
constexpr int kModHighestNote = 71;
// The PAL rate of a MOD sample played at tracker note 48 (period 428).
constexpr double kModBaseRate = 7093789.2 / (2.0 * 428.0);

WriteResult WriteMod(const Song& song);
WriteResult WriteS3m(const Song& song);

// ProTracker period of a tracker note in 36..71 (finetune 0).
int ModPeriod(int note);

}  // namespace mkdata::music
