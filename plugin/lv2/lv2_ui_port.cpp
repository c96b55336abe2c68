// The LV2 panel's port onto the plug-in and its link to the host (lv2_ui_port.h).

#include "plugin/lv2/lv2_ui_port.h"

#include <lv2/atom/atom.h>

#include "engine/erase_question.h"
#include "engine/parameter_index.h"
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
    if (isCommandPort(index)) host_.command(index, value);
    else host_.write(index, value);
    // The shadow engine shows what the UI sent; a running instance takes it from the
    // host's port or message at its next block.
    if (shadow_ && index != kKillBufr) target_.setParameter(index, value);
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
