#pragma once
// The parameter model: the 107 host parameters, the ten global settings, the editor's
// button words and the read-outs, in the index space of parameter_index.h, as the
// parameter table (parameter_table.h) describes them. It keeps the live values (the
// ParameterState words it derives from) and the per-unit values converted for the
// engine, stores each value in the program record it belongs to, answers the names,
// labels and display texts, applies a program's values, and routes what a value does to
// the part that owns it: the main gain, the unit length and the halt word to the
// Sequencer, the resonance to the voices' filter, the record Sync Unit to the Recorder.
// What spans several parts (a buffer selection, the rec modes, erasing, the voice count,
// the current buffer of a program, the notices and the host's automation) goes to its
// ParameterEffects, the engine.
//
// Threads: as GrainEngine::setParameter (any thread, between blocks on the audio
// thread); the audio loop reads the words. Program application, the clipboard and the
// texts: other threads.

#include <cstdint>

#include "engine/engine_state.h"
#include "engine/parameter_index.h"
#include "engine/program_bank.h"

namespace grainwheel {

class BufferMorph;
class Recorder;
struct ParameterInfo;
struct Sequencer;
struct TransportState;
struct VoiceBank;

// What a parameter change does beyond the parts the model holds.
class ParameterEffects {
public:
    virtual ~ParameterEffects() = default;
    // The buffer that plays and its length in frames.
    virtual int currentBufferIndex() const = 0;
    virtual int currentBufferFrames() const = 0;
    // A program change names the buffer its program plays (no selection: the caller
    // selects it when it should).
    virtual void setCurrentBufferIndex(int n) = 0;
    // Buffer number (host automation or the editor): selects buffer `value` (through the
    // morph when Morph Algorithm is on); the current one's start position again.
    virtual void requestBuffer(float value) = 0;
    virtual void selectBuffer(int n) = 0;
    virtual void setRecFree(float value) = 0;
    virtual void setRecSync(float value) = 0;
    // Kill buffer pressed: the question, then the erase.
    virtual void eraseBuffer() = 0;
    // The editor's voice count (kVoiceCount), stored already in the current record.
    virtual void setVoiceCount(float value) = 0;
    // The listener's notices; whether one listens.
    virtual void notice(int index, float value) = 0;
    virtual void refresh() = 0;
    virtual bool listened() const = 0;
    // A value the engine changed by itself (next/previous program), applied already.
    virtual void automated(int index, float value) = 0;
};

class ParameterModel : public ParameterState {
public:
    ParameterModel(ProgramBank& programs, Sequencer& sequencer, const TransportState& transport, VoiceBank& voices,
                   BufferMorph& morph, Recorder& recorder, ParameterEffects& effects);
    ParameterModel(const ParameterModel&) = delete;
    ParameterModel& operator=(const ParameterModel&) = delete;

    // The index space of setParameter / getParameter. Nothing happens while the program
    // records are missing (an engine whose construction ran out of memory). Embedders set
    // values through GrainEngine::setParameter, which first hands rec free, rec sync and
    // kill buffer off the audio thread where they would allocate or ask there.
    void set(std::int32_t index, float value);
    float get(std::int32_t index);
    // Global setting s as the engine uses it (truncated).
    int setting(GlobalSetting s) const;
    // Buffer n's start position, 0..1.
    float bufferStart(int n) const { return live[kBufPos + n]; }

    // The host's texts: the name, the label and the display text (at most 15 characters
    // and a terminator; text is left alone for an index without one), whether the host
    // may automate the parameter.
    void name(std::int32_t index, char* text) const;
    void label(std::int32_t index, char* text) const;
    void display(std::int32_t index, char* text) const;
    // The display text host parameter `index` would show at `value`, under the present
    // fader ranges; nothing changes (a host asking for the text of any value).
    void displayFor(std::int32_t index, float value, char* text) const;
    bool automatable(std::int32_t index) const;

    // Program k becomes current with every value of its record and the settings of
    // record 0 applied (the editor hears of each, then of the whole).
    void applyProgram(int k);
    // Program k becomes current by the host's program parameter: its own values only
    // (not the grid and monitor switches, not the settings).
    void switchProgram(int k);
    // The clipboard's program fields into the current program, applied.
    void pasteFromClipboard();

private:
    void setSingle(int index, float value, float& shown);
    void setGroupMember(const ParameterInfo& p, float value, float& shown);
    void setUnitLength(float value);
    void setReso(float value);
    void setTime(int unit, float value, float& shown);
    void setSpeed(int unit, float value);
    void setPitch(int unit, float value);
    void setCutoff(int unit, float value);
    void setGlobalSetting(int index, float value);
    void fallingEdgeCommand(int index, float value);
    // set, then the host hears of it as automation.
    void automate(int index, float value);
    void applyValues(const ProgramRecord& p, bool withSwitches);
    ProgramRecord& current() { return programs_.currentRecord(); }
    // The buffer the buffer number shows: the one armed by a morph, else the current one.
    int shownBuffer() const;

    ProgramBank& programs_;
    Sequencer& seq_;
    const TransportState& transport_;
    VoiceBank& voices_;
    BufferMorph& morph_;
    Recorder& recorder_;
    ParameterEffects& effects_;
};

}  // namespace grainwheel
