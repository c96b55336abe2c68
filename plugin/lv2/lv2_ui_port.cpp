// The LV2 panel's port onto the plug-in and its link to the host (lv2_ui_port.h).

#include "plugin/lv2/lv2_ui_port.h"

#include <cstdio>

#include "engine/parameter_index.h"
#include "persistence/file_result.h"
#include "platform/dialogs.h"

namespace grainwheel::lv2 {

HostLink::HostLink(LV2UI_Write_Function writeFunction, LV2UI_Controller controller, const LV2UI_Touch* touchFeature)
    : write_(writeFunction), controller_(controller), touch_(touchFeature) {}

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

void eraseBufferQuestion(int currentBuffer, char* text, int size) {
    std::snprintf(text, static_cast<std::size_t>(size), "Erase buffer number %2d ?", currentBuffer + 1);
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
    host_.write(index, value);
    // The shadow engine shows what the UI sent; a running instance takes it from the
    // host's port at its next block.
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
