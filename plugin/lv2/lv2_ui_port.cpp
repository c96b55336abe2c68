// The LV2 panel's port onto the plug-in and its link to the host (lv2_ui_port.h).

#include "plugin/lv2/lv2_ui_port.h"

#include <algorithm>
#include <cstring>

#include <lv2/atom/atom.h>
#include <lv2/atom/util.h>

#include "engine/conversions.h"
#include "engine/erase_question.h"
#include "engine/parameter_index.h"
#include "engine/parameter_table.h"
#include "engine/program_record.h"
#include "persistence/file_result.h"
#include "platform/dialogs.h"

namespace grainwheel::lv2 {

HostLink::HostLink(LV2UI_Write_Function writeFunction, LV2UI_Controller controller, const LV2UI_Touch* touchFeature,
                   LV2_URID_Map* map)
    : write_(writeFunction), controller_(controller), touch_(touchFeature) {
    if (map == nullptr || map->map == nullptr) return;
    auto m = [map](const char* uri) { return map->map(map->handle, uri); };
    eventTransfer_ = m(LV2_ATOM__eventTransfer);
    atomObject_ = m(LV2_ATOM__Object);
    atomInt_ = m(LV2_ATOM__Int);
    atomFloat_ = m(LV2_ATOM__Float);
    commandType_ = m(kCommandUri);
    commandIndex_ = m(kCommandIndexUri);
    commandValue_ = m(kCommandValueUri);
}

void HostLink::command(int index, float value) {
    if (!isCommandPort(index) || write_ == nullptr) return;
    if (eventTransfer_ == 0) {
        // The press, as a change of the port.
        if (value != 0.0f) write(index, known(index) == 0.0f ? 1.0f : 0.0f);
        return;
    }
    // An object with two properties, each value an atom padded to 8 bytes.
    struct Message {
        LV2_Atom_Object object;
        LV2_Atom_Property_Body indexKey;
        std::int32_t index, pad0;
        LV2_Atom_Property_Body valueKey;
        float value;
        std::int32_t pad1;
    } m{};
    m.object.atom = {sizeof m - sizeof(LV2_Atom), atomObject_};
    m.object.body = {0, commandType_};
    m.indexKey = {commandIndex_, 0, {sizeof(std::int32_t), atomInt_}};
    m.index = index;
    m.valueKey = {commandValue_, 0, {sizeof(float), atomFloat_}};
    m.value = value;
    write_(controller_, static_cast<std::uint32_t>(kPortTime), sizeof m, eventTransfer_, &m);
}

void HostLink::write(int index, float value) {
    if (!valid(index)) return;
    known_[index] = value;
    if (write_ != nullptr) write_(controller_, static_cast<std::uint32_t>(index), sizeof(float), 0, &value);
}

void HostLink::touch(int index, bool grabbed) {
    if (!valid(index)) return;
    if (grabbed) editing_.store(index, std::memory_order_relaxed);
    else if (editing_.load(std::memory_order_relaxed) == index) editing_.store(-1, std::memory_order_relaxed);
    if (touch_ != nullptr && touch_->touch != nullptr)
        touch_->touch(touch_->handle, static_cast<std::uint32_t>(index), grabbed);
}

void UiPort::setParameterAutomated(int index, float value) {
    if (!HostLink::valid(index)) {
        // Settings, buffer selection by number and the buttons are none of the host's.
        target_.setParameterAutomated(index, value);
        return;
    }
    if (index == kKillBufr && value == 1.0f) {
        // The plug-in never asks: the question is the panel's, and only a Yes is sent.
        char text[64];
        eraseBufferQuestion(target_.currentBuffer(), text, sizeof text);
        if (!platform::dialogs().askYesNo(kEraseBufferTitle, text)) return;
    }
    // The plug-in takes it from the host's port or message at its next block.
    if (isCommandPort(index)) host_.command(index, value);
    else host_.write(index, value);
}

FileResult UiPort::readBankFile(const char* path) {
    const FileResult r = target_.readBankFile(path);
    if (r == kFileOk) requestResync();
    return r;
}

FileResult UiPort::importBankOptions(const char* path) {
    const FileResult r = target_.importBankOptions(path);
    if (r == kFileOk) requestResync();
    return r;
}

}  // namespace grainwheel::lv2

namespace grainwheel::lv2 {

// --- the display messages -------------------------------------------------------------

DisplayReceiver::DisplayReceiver(LV2_URID_Map* map) {
    // Until the plug-in tells them, the settings are those of a fresh bank.
    ProgramRecord fresh;
    fresh.initialise();
    std::copy(std::begin(fresh.globalSettings), std::end(fresh.globalSettings), snapshot_.live.settings);
    snapshot_.live.voiceCount = static_cast<std::int32_t>(fresh.voiceCount);
    if (map == nullptr || map->map == nullptr) return;
    auto m = [map](const char* uri) { return map->map(map->handle, uri); };
    eventTransfer_ = m(LV2_ATOM__eventTransfer);
    atomObject_ = m(LV2_ATOM__Object);
    atomBlank_ = m(LV2_ATOM__Blank);
    atomInt_ = m(LV2_ATOM__Int);
    atomChunk_ = m(LV2_ATOM__Chunk);
    liveType_ = m(kDisplayLiveUri);
    scopeType_ = m(kDisplayScopeUri);
    columnsType_ = m(kDisplayColumnsUri);
    bufferKey_ = m(kDisplayBufferUri);
    dataKey_ = m(kDisplayDataUri);
}

bool DisplayReceiver::take(std::uint32_t format, std::uint32_t size, const void* buffer) {
    if (eventTransfer_ == 0 || format != eventTransfer_ || buffer == nullptr || size < sizeof(LV2_Atom_Object))
        return false;
    const auto* object = static_cast<const LV2_Atom_Object*>(buffer);
    if ((object->atom.type != atomObject_ && object->atom.type != atomBlank_) ||
        sizeof(LV2_Atom) + object->atom.size > size)
        return false;
    const LV2_Atom *number = nullptr, *data = nullptr;
    lv2_atom_object_get(object, bufferKey_, &number, dataKey_, &data, 0);
    if (data == nullptr || data->type != atomChunk_) return false;
    const void* bytes = LV2_ATOM_BODY_CONST(data);
    const std::uint32_t type = object->body.otype;
    if (type == liveType_ && data->size == sizeof(DisplayLive)) {
        const std::uint32_t recorded = snapshot_.live.recordSerial;
        std::memcpy(&snapshot_.live, bytes, sizeof(DisplayLive));
        // The recording byte of the panel's kind: frames arrived since the last message.
        snapshot_.live.recording = lives_ != 0 && snapshot_.live.recordSerial != recorded ? 1 : 0;
        if (lives_++ == 0) markSerial_ = snapshot_.live.recordSerial;
        peak_ = std::max(peak_, snapshot_.live.peak);
        return true;
    }
    if (type == scopeType_ && data->size == sizeof(ScopeTrace)) {
        std::memcpy(&snapshot_.trace, bytes, sizeof(ScopeTrace));
        return true;
    }
    if (type == columnsType_ && data->size == sizeof(BufferColumns) && number != nullptr && number->type == atomInt_ &&
        number->size >= sizeof(std::int32_t)) {
        const std::int32_t n = reinterpret_cast<const LV2_Atom_Int*>(number)->body;
        if (n < 0 || n >= kNumBuffers) return false;
        std::memcpy(&snapshot_.buffers[n], bytes, sizeof(BufferColumns));
        return true;
    }
    return false;
}

float DisplayReceiver::takePeak() {
    const float p = peak_;
    peak_ = 0.0f;
    return p;
}

bool DisplayReceiver::takeRecordingMark() {
    const std::uint32_t serial = snapshot_.live.recordSerial;
    if (serial == markSerial_) return false;
    markSerial_ = serial;
    return true;
}

// --- the plug-in without its instance ---------------------------------------------------

float HostPort::getParameter(int index) {
    if (HostLink::valid(index)) return isCommandPort(index) ? 0.0f : link_.known(index);
    if (index == kReadPeakLevel) return display_.takePeak();
    if (index == kVoiceCount) return static_cast<float>(live().voiceCount);
    if (const int slot = settingSlot(index); slot >= 0) return live().settings[slot];
    return 0.0f;
}

void HostPort::getParameterDisplay(int index, char* text) {
    parameterText(index, getParameter(index), live().settings, text);
}

// The buffer the host's port selects until the plug-in tells which one plays.
int HostPort::currentBuffer() {
    if (display_.live()) return live().currentBuffer;
    return truncClamped(valueToStep(link_.known(kBufferNo)) + 0.5f, 0, kNumBuffers - 1);
}

int HostPort::bufferLength(int b) { return b >= 0 && b < kNumBuffers ? live().bufferLength[b] : 0; }

float HostPort::bufferRate(int b) {
    const int rate = b >= 0 && b < kNumBuffers ? live().bufferRate[b] : 0;
    return rate > 0 ? static_cast<float>(rate) : sampleRate();
}

}  // namespace grainwheel::lv2
