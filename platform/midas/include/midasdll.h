/* midasdll.h - MIDAS Digital Audio System 1.1 programming interface.
 *
 * Published names, types and numbers of the MIDAS DLL interface, served by
 * KELDRIN's portable mixer and module player. C linkage; usable from C and C++.
 */
#ifndef MIDASDLL_H
#define MIDASDLL_H

#include <stdint.h>

/* BOOL, DWORD, TRUE and FALSE are shared with the Win32 interface: whichever
   header comes first defines them and KELDRIN_WIN32_TYPES_DEFINED. */
#ifndef KELDRIN_WIN32_TYPES_DEFINED
#define KELDRIN_WIN32_TYPES_DEFINED 1
typedef int BOOL;
typedef uint32_t DWORD;
#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif
#endif

#ifndef MIDASCALL
#define MIDASCALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Options for MIDASsetOption / MIDASgetOption. */
enum MIDASoptions {
    MIDAS_OPTION_NONE = 0,
    MIDAS_OPTION_MIXRATE,
    MIDAS_OPTION_OUTPUTMODE,
    MIDAS_OPTION_MIXBUFLEN,
    MIDAS_OPTION_MIXBUFBLOCKS,
    MIDAS_OPTION_DSOUND_MODE,
    MIDAS_OPTION_DSOUND_HWND,
    MIDAS_OPTION_DSOUND_OBJECT,
    MIDAS_OPTION_DSOUND_BUFLEN,
    MIDAS_OPTION_16BIT_ULAW_AUTOCONVERT,
    MIDAS_OPTION_FILTER_MODE,
    MIDAS_OPTION_MIXING_MODE,
    MIDAS_OPTION_DEFAULT_STEREO_SEPARATION,
    MIDAS_OPTION_FORCE_NO_SOUND
};

/* Output modes for MIDAS_OPTION_OUTPUTMODE. */
enum MIDASmodes {
    MIDAS_MODE_NONE = 0,
    MIDAS_MODE_MONO = 1,
    MIDAS_MODE_STEREO = 2,
    MIDAS_MODE_8BIT = 4,
    MIDAS_MODE_16BIT = 8,
    MIDAS_MODE_8BIT_MONO = MIDAS_MODE_8BIT | MIDAS_MODE_MONO,
    MIDAS_MODE_8BIT_STEREO = MIDAS_MODE_8BIT | MIDAS_MODE_STEREO,
    MIDAS_MODE_16BIT_MONO = MIDAS_MODE_16BIT | MIDAS_MODE_MONO,
    MIDAS_MODE_16BIT_STEREO = MIDAS_MODE_16BIT | MIDAS_MODE_STEREO
};

/* Modes for MIDAS_OPTION_DSOUND_MODE. */
enum MIDASdsoundModes {
    MIDAS_DSOUND_DISABLED = 0,
    MIDAS_DSOUND_STREAM,
    MIDAS_DSOUND_PRIMARY,
    MIDAS_DSOUND_FORCE_STREAM
};

/* Modes for MIDAS_OPTION_FILTER_MODE. */
enum MIDASfilterModes {
    MIDAS_FILTER_NONE = 0,
    MIDAS_FILTER_LESS = 1,
    MIDAS_FILTER_MORE = 2,
    MIDAS_FILTER_AUTO = 3
};

/* Modes for MIDAS_OPTION_MIXING_MODE. */
enum MIDASmixingModes {
    MIDAS_MIX_NORMAL_QUALITY = 0,
    MIDAS_MIX_HIGH_QUALITY = 1
};

/* Sample data types for MIDASloadRawSample (ADPCM and u-law are refused). */
enum MIDASsampleTypes {
    MIDAS_SAMPLE_NONE = 0,
    MIDAS_SAMPLE_8BIT_MONO = 1,
    MIDAS_SAMPLE_16BIT_MONO = 2,
    MIDAS_SAMPLE_8BIT_STEREO = 3,
    MIDAS_SAMPLE_16BIT_STEREO = 4,
    MIDAS_SAMPLE_ADPCM_MONO = 5,
    MIDAS_SAMPLE_ADPCM_STEREO = 6,
    MIDAS_SAMPLE_ULAW_MONO = 7,
    MIDAS_SAMPLE_ULAW_STEREO = 8
};

/* Sample looping for MIDASloadWaveSample / MIDASloadRawSample. */
enum MIDASloop {
    MIDAS_LOOP_NO = 0,
    MIDAS_LOOP_YES
};

/* Panning positions: -64 (left) .. 64 (right), or surround. */
enum MIDASpanning {
    MIDAS_PAN_LEFT = -64,
    MIDAS_PAN_MIDDLE = 0,
    MIDAS_PAN_RIGHT = 64,
    MIDAS_PAN_SURROUND = 0x80
};

/* Channel numbers. */
enum MIDASchannels {
    MIDAS_CHANNEL_AUTO = 0xFFFF,
    MIDAS_ILLEGAL_CHANNEL = 0xFFFF
};

enum MIDASpositions {
    MIDAS_POSITION_DEFAULT = 0xFFFFFFFF
};

/* Sample playing status from MIDASgetSamplePlayStatus. */
enum MIDASsamplePlayStatus {
    MIDAS_SAMPLE_STOPPED = 0,
    MIDAS_SAMPLE_PLAYING = 1
};

/* Module position and song information. */
typedef struct {
    unsigned position;
    unsigned pattern;
    unsigned row;
    int syncInfo;
    unsigned songLoopCount;
} MIDASplayStatus;

typedef struct {
    char songName[32];
    unsigned songLength;
    unsigned numPatterns;
    unsigned numInstruments;
    unsigned numChannels;
} MIDASmoduleInfo;

typedef void *MIDASmodule;
typedef DWORD MIDASsample;
typedef DWORD MIDASsamplePlayHandle;
typedef DWORD MIDASmodulePlayHandle;

/* Start-up, configuration and shut-down. */
BOOL MIDASCALL MIDASstartup(void);
BOOL MIDASCALL MIDASdetectSoundCard(void);
BOOL MIDASCALL MIDASconfig(void);
BOOL MIDASCALL MIDASinit(void);
BOOL MIDASCALL MIDASclose(void);
BOOL MIDASCALL MIDASsetOption(int option, DWORD value);
DWORD MIDASCALL MIDASgetOption(int option);
int MIDASCALL MIDASgetLastError(void);
char *MIDASCALL MIDASgetErrorMessage(int errorCode);
char *MIDASCALL MIDASgetVersionString(void);

/* Playback driving. */
BOOL MIDASCALL MIDASstartBackgroundPlay(DWORD pollRate);
BOOL MIDASCALL MIDASstopBackgroundPlay(void);
void MIDASCALL MIDASlock(void);
void MIDASCALL MIDASunlock(void);

/* Channels. */
BOOL MIDASCALL MIDASopenChannels(int numChannels);
BOOL MIDASCALL MIDAScloseChannels(void);
BOOL MIDASCALL MIDASallocAutoEffectChannels(unsigned numChannels);
BOOL MIDASCALL MIDASfreeAutoEffectChannels(void);
DWORD MIDASCALL MIDASallocateChannel(void);
BOOL MIDASCALL MIDASfreeChannel(DWORD channel);
BOOL MIDASCALL MIDASsetAmplification(DWORD amplification);

/* Samples and sound effects. */
MIDASsample MIDASCALL MIDASloadWaveSample(char *fileName, int loopSample);
MIDASsample MIDASCALL MIDASloadRawSample(char *fileName, int sampleType, int loopSample);
BOOL MIDASCALL MIDASfreeSample(MIDASsample sample);
MIDASsamplePlayHandle MIDASCALL MIDASplaySample(MIDASsample sample, unsigned channel, int priority,
                                                unsigned rate, unsigned volume, int panning);
BOOL MIDASCALL MIDASstopSample(MIDASsamplePlayHandle sample);
BOOL MIDASCALL MIDASsetSampleRate(MIDASsamplePlayHandle sample, unsigned rate);
BOOL MIDASCALL MIDASsetSampleVolume(MIDASsamplePlayHandle sample, unsigned volume);
BOOL MIDASCALL MIDASsetSamplePanning(MIDASsamplePlayHandle sample, int panning);
BOOL MIDASCALL MIDASsetSamplePriority(MIDASsamplePlayHandle sample, int priority);
DWORD MIDASCALL MIDASgetSamplePlayStatus(MIDASsamplePlayHandle sample);

/* Modules. */
MIDASmodule MIDASCALL MIDASloadModule(char *fileName);
BOOL MIDASCALL MIDASfreeModule(MIDASmodule module);
MIDASmodulePlayHandle MIDASCALL MIDASplayModule(MIDASmodule module, BOOL loopSong);
BOOL MIDASCALL MIDASstopModule(MIDASmodulePlayHandle playHandle);
BOOL MIDASCALL MIDASsetMusicVolume(MIDASmodulePlayHandle playHandle, unsigned volume);
BOOL MIDASCALL MIDASgetPlayStatus(MIDASmodulePlayHandle playHandle, MIDASplayStatus *status);
BOOL MIDASCALL MIDASgetModuleInfo(MIDASmodule module, MIDASmoduleInfo *info);
BOOL MIDASCALL MIDASsetPosition(MIDASmodulePlayHandle playHandle, int newPosition);

#ifdef __cplusplus
}
#endif

#endif /* MIDASDLL_H */
