#pragma once
// The one table of parameter, setting, command and read-out indices of the engine's
// setParameter/getParameter index space, and the enums of the stored mode values. The
// numbers are part of the host interface and the bank format: they never change.

#include <cstdint>

namespace grainwheel {

enum ParamIndex : int {
    // Host parameters 0..106.
    kBufferNo = 0, kMainLevl = 1, kDensity = 2, kUnitDura = 3, kEnvSust = 4, kReso = 5,
    kTrigmode = 6, kGrid = 7, kMonitor = 8, kRecFree = 9, kRecSync = 10, kKillBufr = 11,
    kProgram = 12, kNextProg = 13, kPrevProg = 14, kCopyPrg = 15, kPastePrg = 16,
    kPitchPreset = 17, kSpeedPreset = 22, kBufPos = 27, kTime = 43, kSpeed = 59, kPitch = 75,
    kFreq = 91, kLastHostParameter = 106,

    // Read-outs (getParameter only).
    kReadMainGain = 108, kReadDensityFactor = 109, kReadUnitDura = 110, kReadEnvSust = 111,
    kReadReso = 112, kReadProgramNumber = 113,
    kReadUnitTime = 114, kReadUnitSpeed = 130, kReadUnitPitch = 146, kReadUnitCutoff = 162,
    kReadActiveVoices = 258, kReadPeakLevel = 259,

    // Commands and notices between the engine and the editor (see EngineNotice).
    kExitSave = 250, kBuffersChanged = 251, kRedrawAll = 252, kSelectBuffer = 257,
    // Notices only the editor takes: the setting menus follow the program, a buffer scope
    // was clicked (value: its buffer), stop the grains (in trigger mode), the main scope
    // was clicked.
    kReloadMenus = 253, kBufferScopeClick = 254, kStopGrains = 255, kMainScopeClick = 256,
    // The editor's file buttons (the engine keeps their last values).
    kLoadWaveButton = 261, kSaveBankButton = 263, kSaveWaveButton = 264,
    kVoiceCount = 265,

    // Global settings 267..276, stored in record 0's globalSettings (GlobalSetting order).
    kFirstSetting = 267,
    kSettingTimeFaderValues = 267, kSettingSpeedFaderRange = 268, kSettingPitchFaderRange = 269,
    kSettingEnvelopeType = 270, kSettingFreqCutoff = 271, kSettingPlaybackMode = 272,
    kSettingScopeViewMode = 273, kSettingMorphAlgorithm = 274, kSettingMorphStepsize = 275,
    kSettingRecordSyncUnit = 276, kLastSetting = 276,
};
inline constexpr int kNumHostParameters = kLastHostParameter + 1;

// The notices the engine sends its listener besides the parameter echo.
enum class EngineNotice : int {
    ExitSave = kExitSave,              // run the save offered at close (the editor asks where)
    BuffersChanged = kBuffersChanged,  // a buffer's contents, length or selection changed
    RedrawAll = kRedrawAll,            // everything shown changed (a bank or chunk was read)
    VoiceCount = kVoiceCount,          // the voice-count control follows the program
};
constexpr int noticeIndex(EngineNotice n) { return static_cast<int>(n); }

// captureState: the scope capture's hand-shake with the editor (stored as int32).
enum class CaptureStage : std::int32_t { Wanted = 0, Finished = 1, Filling = 2 };

// Setting 272, Playback Mode (stored as a float index).
enum class PlaybackMode : int { Loop = 0, StopAtBufferEnd = 1, StopAtSequenceEnd = 2, StopAtBoth = 3 };
// The head goes back to the start position at the buffer's end (modes 1 and 3).
constexpr bool stopsAtBufferEnd(PlaybackMode m) {
    return m == PlaybackMode::StopAtBufferEnd || m == PlaybackMode::StopAtBoth;
}
// The end of the 16-unit sequence sends the head back (modes 2 and 3).
constexpr bool stopsAtSequenceEnd(PlaybackMode m) {
    return m == PlaybackMode::StopAtSequenceEnd || m == PlaybackMode::StopAtBoth;
}

// morphState of the spectral morph.
enum class MorphStage : std::int32_t {
    Idle = 0,         // no morph under way
    SourceDone = -6,  // source grain analysed, target not yet
    Running = 7,      // both analysed, morphed grains being produced
};

}  // namespace grainwheel
