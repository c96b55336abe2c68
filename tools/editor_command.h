#pragma once
// grainwheel-host editor: a plug-in's editor opened without a window (the headless frame
// an editor makes when effEditOpen passes no parent), after a session run as the render
// command runs it. It writes a snapshot or the layout of the frame and runs scripts of
// mouse input, idles and processing, reaching the frame through the editor inspection call
// (host/editor_inspection.h).

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/host_session.h"
#include "tools/render_command.h"
#include "tools/render_options.h"

namespace gwhost {

// A plug-in playing a session: the render command's options applied (chunk, bank, WAV,
// changes before the start), then processed on demand over the simulated transport, the
// input (demo loop, file or silence) repeating. Timed changes apply at their frames.
class PlayingSession {
public:
    bool start(const RenderOptions& options, std::string& error);
    // Processes frames in blocks of the options' size (any thread, one at a time).
    void process(std::int64_t frames);
    void processBeats(double beats) { process(framesOfBeats(beats)); }
    std::int64_t framesOfBeats(double beats) const;
    std::int64_t position() const { return pos; }
    HostSession& host() { return session; }
    const RenderOptions& options() const { return o; }
    // The frames to process before anything else: --beats/--seconds, else the demo's length
    // with --demo, else none.
    std::int64_t leadIn() const;

private:
    RenderOptions o;
    HostSession session;
    Input in;
    std::vector<Resolved> changes;
    std::size_t next = 0;
    std::int64_t pos = 0;
    std::vector<std::vector<float>> inBuf, outBuf;
    std::vector<float*> inPtr, outPtr;
};

struct EditorOptions {
    RenderOptions session;
    std::string snapshotPath;  // --snapshot
    std::string layoutPath;    // --layout
    std::string scriptPath;    // --script
    float scale = 0.0f;        // --scale: the host's scale for the editor; 0: none given
};

// Parses the arguments after "editor": the plug-in, the render command's session options
// (no -o) and the editor's own. False with `error` set on bad input.
bool parseEditorOptions(int argc, const char* const* argv, EditorOptions& out, std::string& error);

// The open editor as a script sees it.
class EditorDriver {
public:
    // hostScale > 0: the scale the driver gives the editor as a host does (the vendor call
    // 'PreS' / 'AeCs'); mouse positions are then pixels of its picture.
    EditorDriver(PlayingSession& session, std::FILE* output, float scale = 0.0f)
        : s(session), out(output), hostScale(scale) {}
    // The scale, effEditGetRect and effEditOpen without a parent; false when the plug-in
    // has no editor or its editor has no frame to inspect.
    bool open(std::string& error);
    void close();
    bool isOpen() const { return opened; }
    void idle(int times);
    bool mouse(std::int32_t kind, long x, long y, long modifiers = 0, float distance = 0.0f);
    bool snapshot(const std::string& path);
    bool layout(const std::string& path);
    // The status line's text and colour; false when the editor has none.
    bool status(std::string& text, unsigned& red, unsigned& green, unsigned& blue);
    // Runs one script line (see editorUsage); false with `error` set.
    bool runLine(const std::string& line, std::string& error);
    // Prints the automation received since the last call.
    void printAutomation();

private:
    VstIntPtr inspect(VstIntPtr request, void* ptr);
    PlayingSession& s;
    std::FILE* out;
    bool opened = false;
    std::size_t automationShown = 0;
    float hostScale = 0.0f;
    float frameScale = 1.0f;  // the open frame's, as it answers
};

const char* editorUsage();
int runEditor(int argc, const char* const* argv, std::FILE* out);

}  // namespace gwhost
