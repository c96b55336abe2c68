#pragma once
// The result of every file operation, and the one-line texts the editor shows for them.

namespace grainwheel {

using FileResult = int;

constexpr FileResult kFileOk = 0;                  // success, or nothing was done
constexpr FileResult kFileDoneNothing = 0;
constexpr FileResult kFileExists = 1;              // the user declined to overwrite
constexpr FileResult kFileWriteFailed = 2;         // could not open (or complete) the file for writing
constexpr FileResult kFileBufferEmpty = 3;
constexpr FileResult kFileNoRiff = 4;
constexpr FileResult kFileNoWave = 5;
constexpr FileResult kFileNoFmt = 6;
constexpr FileResult kFileNoData = 7;
constexpr FileResult kFileNoPcm = 8;
constexpr FileResult kFileUnsupportedSampleFormat = 9;  // not 8/16/24/32-bit integer or 32/64-bit float
constexpr FileResult kFileRateOutOfRange = 10;           // outside kMinBufferRate..kMaxBufferRate
constexpr FileResult kFileNotMonoStereo = 11;
constexpr FileResult kFileNoAudioData = 12;
constexpr FileResult kFileNoGrb = 20;
constexpr FileResult kFileNoWaveBlock = 21;
constexpr FileResult kFileVersion = 22;
constexpr FileResult kFileOpenFailed = 23;
constexpr FileResult kFileNameTooLong = 24;
constexpr FileResult kFileSeekFailed = 25;
constexpr FileResult kFileOutOfMemory = 30;        // WAV reader
constexpr FileResult kFileAllocationFailed = 40;   // bank reader
constexpr FileResult kFileBankInfo = 100;          // the bank information line
constexpr FileResult kFileBufferInfo = 200;        // 200 + b: buffer b's information line
constexpr FileResult kFileOptionsImported = 300;

struct FileMessage {
    FileResult code;
    const char* text;
};

// Every code with a fixed text, in code order.
extern const FileMessage kFileMessages[];
extern const int kNumFileMessages;

// The fixed text of a code, or nullptr when it has none (100, 200 + b and unknown codes).
const char* fileResultText(FileResult code);

// Codes below 100 are failures or non-events (shown in red), from 100 up information (white).
constexpr bool isFailure(FileResult code) { return code < 100; }

// Codes whose message also sets the label's background to black.
constexpr bool usesBlackBackground(FileResult code) {
    return code == 0 || code == 100 || (code >= 200 && code <= 215);
}

}  // namespace grainwheel
