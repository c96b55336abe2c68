#include "tools/editor_command.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "host/editor_inspection.h"
#include "tools/demo_input.h"
#include "tools/option_files.h"

namespace gwhost {

namespace {

// The toolkit's modifier bits in mouse events.
constexpr long kShiftKey = 8;
constexpr long kControlKey = 16;
constexpr long kAltKey = 32;

bool parseNumber(const std::string& text, double& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return end && *end == 0 && std::isfinite(value);
}

bool parseInt(const std::string& text, long& value) {
    double d = 0.0;
    if (!parseNumber(text, d) || d != std::floor(d) || std::fabs(d) > 1.0e6) return false;
    value = static_cast<long>(d);
    return true;
}

}  // namespace

const char* editorUsage() {
    return "usage: grainwheel-host editor PLUGIN.so [session options] [--snapshot OUT.png] [--layout OUT.json]\n"
           "                              [--script FILE] [--scale S]\n"
           "  The editor opens without a window after the session; one idle draws it.\n"
           "  session:    the render command's --input/--silence/--demo, --rate, --block, --tempo, --timesig,\n"
           "              --start, --stopped, --set, --set-at, --program, --program-at, --chunk, --bank,\n"
           "              --load-wav; --beats N or --seconds S processed before the editor opens\n"
           "              (default: the demo's 28 beats with --demo, else none)\n"
           "  --snapshot OUT.png  the editor's picture (open pop-up menus included)\n"
           "  --layout OUT.json   every view in stacking order and every menu\n"
           "  --scale S           the host's scale for the editor (1..3): the snapshot is S times the\n"
           "                      panel's size and script positions are its pixels\n"
           "  --script FILE       one command a line ('#' starts a comment):\n"
           "      idle N                 N editor idles\n"
           "      click X Y [ctrl|shift|alt]   press and release at X Y (snapshot pixels)\n"
           "      press X Y | move X Y | release X Y   the parts of a click or drag\n"
           "      drag X1 Y1 X2 Y2       press, move in steps, release\n"
           "      hover X Y              the mouse moves without a button\n"
           "      wheel X Y N            N wheel steps (negative: down)\n"
           "      process BEATS          the plug-in processes BEATS quarter notes\n"
           "      status                 prints the status line's text and colour\n"
           "      snapshot FILE | layout FILE\n"
           "      close | reopen         effEditClose | effEditOpen again\n"
           "  The automation the plug-in sends is printed as it arrives: automation INDEX VALUE, and its\n"
           "  edit gestures around it: begin-edit INDEX, end-edit INDEX\n";
}

bool PlayingSession::start(const RenderOptions& options, std::string& error) {
    o = options;
    if (o.input == InputKind::File && !readInputFile(o.inputPath, o, in, error)) return false;
    if (!session.load(o.pluginPath)) return error = session.error(), false;
    AEffect* e = session.effect();
    if (o.input == InputKind::Demo) {
        // Eight bars of the loop, repeated as long as the session plays.
        const std::int64_t frames = framesOfBeats(32.0);
        in.samples = makeDemoInput(frames, o.sampleRate, o.tempo > 0.0 ? o.tempo : 120.0);
        in.frames = frames;
        if (e->uniqueID == kGrainwheelId) {
            RenderOptions demo = o;
            demo.changes.clear();
            addDemoChanges(demo);
            demo.changes.insert(demo.changes.end(), o.changes.begin(), o.changes.end());
            o.changes = demo.changes;
        }
    }
    session.transport.sampleRate = o.sampleRate;
    session.transport.tempo = o.tempo;
    session.transport.timeSigNumerator = o.timeSigNumerator;
    session.transport.timeSigDenominator = o.timeSigDenominator;
    session.transport.playing = o.playing;
    session.transport.samplePos = o.tempo > 0.0 ? o.startBeat * 60.0 / o.tempo * o.sampleRate : 0.0;
    session.blockSize = o.blockSize;
    session.dispatch(effOpen);
    session.dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(o.sampleRate));
    session.dispatch(effSetBlockSize, 0, o.blockSize);
    if (!applySession(session, o, error) || !resolveChanges(session, o, changes, error)) return false;
    session.dispatch(effMainsChanged, 0, 1);
    while (next < changes.size() && changes[next].frame < 0) apply(session, changes[next++]);

    const int nIn = std::max(2, static_cast<int>(e->numInputs));
    const int nOut = std::max(2, static_cast<int>(e->numOutputs));
    const auto block = static_cast<std::size_t>(o.blockSize);
    inBuf.assign(static_cast<std::size_t>(nIn), std::vector<float>(block));
    outBuf.assign(static_cast<std::size_t>(nOut), std::vector<float>(block));
    for (auto& b : inBuf) inPtr.push_back(b.data());
    for (auto& b : outBuf) outPtr.push_back(b.data());
    return true;
}

std::int64_t PlayingSession::framesOfBeats(double beats) const {
    const double beatFrames = o.tempo > 0.0 ? 60.0 / o.tempo * o.sampleRate : o.sampleRate / 2.0;
    if (!(beats > 0.0)) return 0;
    return static_cast<std::int64_t>(std::llround(std::min(beats, 1.0e5) * beatFrames));
}

std::int64_t PlayingSession::leadIn() const {
    const std::int64_t fallback = o.input == InputKind::Demo ? framesOfBeats(kDemoBeats) : 0;
    return renderFrames(o, fallback);
}

void PlayingSession::process(std::int64_t frames) {
    AEffect* e = session.effect();
    if (!e || frames <= 0) return;
    const bool replacing = (e->flags & effFlagsCanReplacing) != 0 && e->processReplacing;
    const std::int64_t end = pos + frames;
    while (pos < end) {
        while (next < changes.size() && changes[next].frame <= pos) apply(session, changes[next++]);
        std::int64_t n = std::min<std::int64_t>(o.blockSize, end - pos);
        if (next < changes.size()) n = std::min(n, changes[next].frame - pos);
        const auto count = static_cast<std::size_t>(n);
        for (std::size_t c = 0; c < inBuf.size(); ++c) {
            const std::size_t side = c == 0 ? 0 : 1;
            for (std::size_t i = 0; i < count; ++i) {
                float v = 0.0f;
                if (in.frames > 0) {
                    const auto f = static_cast<std::size_t>((pos + static_cast<std::int64_t>(i)) % in.frames);
                    v = in.samples[2 * f + side];
                }
                inBuf[c][i] = v;
            }
        }
        for (auto& b : outBuf) std::fill(b.begin(), b.end(), 0.0f);
        if (replacing) e->processReplacing(e, inPtr.data(), outPtr.data(), static_cast<VstInt32>(n));
        else if (e->process) e->process(e, inPtr.data(), outPtr.data(), static_cast<VstInt32>(n));
        if (o.playing) session.transport.advance(static_cast<std::int32_t>(n));
        pos += n;
    }
}

bool parseEditorOptions(int argc, const char* const* argv, EditorOptions& out, std::string& error) {
    out = EditorOptions{};
    std::vector<const char*> rest;
    for (int i = 0; i < argc; ++i) {
        const std::string a = argv[i];
        std::string* target = a == "--snapshot" ? &out.snapshotPath
                              : a == "--layout" ? &out.layoutPath
                              : a == "--script" ? &out.scriptPath
                                                : nullptr;
        if (target) {
            if (i + 1 >= argc) return error = a + " needs a value", false;
            *target = argv[++i];
            if (target->empty()) return error = a + " needs a value", false;
            continue;
        }
        if (a == "--scale") {
            if (i + 1 >= argc) return error = a + " needs a value", false;
            char* end = nullptr;
            const float v = std::strtof(argv[++i], &end);
            if (end == argv[i] || *end != '\0' || !(v >= 1.0f && v <= 3.0f))
                return error = std::string("--scale takes a number from 1 to 3, not ") + argv[i], false;
            out.scale = v;
            continue;
        }
        if (a == "-o" || a == "--output" || a == "--format" || a == "--save-chunk" || a == "--save-bank")
            return error = a + " belongs to the render command", false;
        rest.push_back(argv[i]);
    }
    rest.push_back("-o");
    rest.push_back("/dev/null");
    if (!parseRenderOptions(static_cast<int>(rest.size()), rest.data(), out.session, error)) return false;
    return true;
}

VstIntPtr EditorDriver::inspect(VstIntPtr request, void* ptr) {
    if (!opened) return 0;
    return s.host().dispatch(effVendorSpecific, kEditorInspection, request, ptr);
}

bool EditorDriver::open(std::string& error) {
    AEffect* e = s.host().effect();
    if (!(e->flags & effFlagsHasEditor)) return error = "the plug-in has no editor", false;
    if (hostScale > 0.0f) s.host().dispatch(effVendorSpecific, 0x50726553, 0x41654373, nullptr, hostScale);  // 'PreS' 'AeCs'
    ERect* rect = nullptr;
    s.host().dispatch(effEditGetRect, 0, 0, &rect);
    s.host().dispatch(effEditOpen, 0, 0, nullptr);
    opened = true;
    // Probe: the inspection answers only for an editor frame.
    char probe[] = "/dev/null";
    if (inspect(kInspectLayout, probe) != 1) {
        close();
        return error = "the plug-in's editor has no frame this tool can inspect", false;
    }
    float scale = 1.0f;
    frameScale = inspect(kInspectScale, &scale) == 1 && scale >= 1.0f ? scale : 1.0f;
    idle(1);
    return true;
}

void EditorDriver::close() {
    if (!opened) return;
    s.host().dispatch(effEditClose);
    opened = false;
}

void EditorDriver::idle(int times) {
    for (int i = 0; i < times && opened; ++i) s.host().dispatch(effEditIdle);
}

bool EditorDriver::mouse(std::int32_t kind, long x, long y, long modifiers, float distance) {
    EditorMouseEvent e;
    e.kind = kind;
    // Pixels of the picture to the frame's units.
    e.x = static_cast<std::int32_t>(std::floor(static_cast<double>(x) / frameScale));
    e.y = static_cast<std::int32_t>(std::floor(static_cast<double>(y) / frameScale));
    e.modifiers = static_cast<std::int32_t>(modifiers);
    e.distance = distance;
    return inspect(kInspectMouse, &e) == 1;
}

bool EditorDriver::snapshot(const std::string& path) { return inspect(kInspectSnapshot, const_cast<char*>(path.c_str())) == 1; }

bool EditorDriver::layout(const std::string& path) { return inspect(kInspectLayout, const_cast<char*>(path.c_str())) == 1; }

bool EditorDriver::status(std::string& text, unsigned& red, unsigned& green, unsigned& blue) {
    EditorStatusText st;
    if (inspect(kInspectStatus, &st) != 1) return false;
    st.text[sizeof st.text - 1] = 0;
    text = st.text;
    red = st.red;
    green = st.green;
    blue = st.blue;
    return true;
}

void EditorDriver::printAutomation() {
    const std::vector<AutomationEvent> fresh = s.host().automationSince(automationShown);
    automationShown += fresh.size();
    for (const AutomationEvent& a : fresh) std::fprintf(out, "%s\n", describeAutomation(a, nullptr).c_str());
}

bool EditorDriver::runLine(const std::string& raw, std::string& error) {
    std::string line = raw.substr(0, raw.find('#'));
    std::istringstream words(line);
    std::vector<std::string> w;
    for (std::string t; words >> t;) w.push_back(t);
    if (w.empty()) return true;
    const std::string& cmd = w[0];
    auto ints = [&](std::size_t from, std::size_t count, long* values) {
        if (w.size() < from + count) return false;
        for (std::size_t i = 0; i < count; ++i)
            if (!parseInt(w[from + i], values[i])) return false;
        return true;
    };
    auto needOpen = [&]() {
        if (!opened) error = "the editor is closed (reopen it first)";
        return opened;
    };
    long v[4] = {};
    if (cmd == "idle") {
        if (w.size() != 2 || !ints(1, 1, v) || v[0] < 0) return error = "idle needs a count: idle N", false;
        idle(static_cast<int>(v[0]));
    } else if (cmd == "click" || cmd == "press" || cmd == "move" || cmd == "release" || cmd == "hover") {
        if (w.size() < 3 || w.size() > 4 || !ints(1, 2, v)) return error = cmd + " needs a position: " + cmd + " X Y", false;
        long modifiers = 0;
        if (w.size() == 4) {
            if (w[3] == "ctrl") modifiers = kControlKey;
            else if (w[3] == "shift") modifiers = kShiftKey;
            else if (w[3] == "alt") modifiers = kAltKey;
            else return error = "unknown modifier " + w[3] + " (ctrl, shift or alt)", false;
        }
        if (!needOpen()) return false;
        bool ok = true;
        if (cmd == "click" || cmd == "press") ok = mouse(EditorMouseEvent::kPress, v[0], v[1], modifiers);
        if (cmd == "move") ok = mouse(EditorMouseEvent::kMove, v[0], v[1], modifiers);
        if (cmd == "hover") ok = mouse(EditorMouseEvent::kHover, v[0], v[1], modifiers);
        if (cmd == "click" || cmd == "release") ok = ok && mouse(EditorMouseEvent::kRelease, v[0], v[1], modifiers);
        if (!ok) return error = "the editor refused the mouse event", false;
    } else if (cmd == "drag") {
        if (w.size() != 5 || !ints(1, 4, v)) return error = "drag needs two positions: drag X1 Y1 X2 Y2", false;
        if (!needOpen()) return false;
        const long steps = std::max(1L, std::max(std::labs(v[2] - v[0]), std::labs(v[3] - v[1])) / 4);
        bool ok = mouse(EditorMouseEvent::kPress, v[0], v[1]);
        for (long i = 1; i <= steps && ok; ++i)
            ok = mouse(EditorMouseEvent::kMove, v[0] + (v[2] - v[0]) * i / steps, v[1] + (v[3] - v[1]) * i / steps);
        ok = ok && mouse(EditorMouseEvent::kRelease, v[2], v[3]);
        if (!ok) return error = "the editor refused the mouse event", false;
    } else if (cmd == "wheel") {
        double steps = 0.0;
        if (w.size() != 4 || !ints(1, 2, v) || !parseNumber(w[3], steps))
            return error = "wheel needs a position and steps: wheel X Y N", false;
        if (!needOpen()) return false;
        if (!mouse(EditorMouseEvent::kWheel, v[0], v[1], 0, static_cast<float>(steps)))
            return error = "the editor refused the mouse event", false;
    } else if (cmd == "process") {
        double beats = 0.0;
        if (w.size() != 2 || !parseNumber(w[1], beats) || beats < 0.0 || beats > 1.0e5)
            return error = "process needs a number of beats: process BEATS", false;
        s.processBeats(beats);
    } else if (cmd == "status") {
        if (w.size() != 1) return error = "status takes nothing more", false;
        if (!needOpen()) return false;
        std::string text;
        unsigned r = 0, g = 0, b = 0;
        if (!status(text, r, g, b)) return error = "the editor has no status line", false;
        std::fprintf(out, "status \"%s\" (%u, %u, %u)\n", text.c_str(), r, g, b);
    } else if (cmd == "snapshot" || cmd == "layout") {
        if (w.size() != 2) return error = cmd + " needs a file: " + cmd + " FILE", false;
        if (!needOpen()) return false;
        if (!(cmd == "snapshot" ? snapshot(w[1]) : layout(w[1]))) return error = "cannot write " + w[1], false;
    } else if (cmd == "close") {
        if (w.size() != 1) return error = "close takes nothing more", false;
        close();
    } else if (cmd == "reopen") {
        if (w.size() != 1) return error = "reopen takes nothing more", false;
        close();
        if (!open(error)) return false;
    } else {
        return error = "unknown command \"" + cmd + "\"", false;
    }
    return true;
}

int runEditor(int argc, const char* const* argv, std::FILE* out) {
    EditorOptions options;
    std::string error;
    if (!parseEditorOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "grainwheel-host editor: %s\n%s", error.c_str(), editorUsage());
        return 2;
    }
    std::vector<std::string> script;
    if (!options.scriptPath.empty()) {
        OptionFile file;
        std::vector<char> bytes;
        if (!file.open(options.scriptPath, "--script", kScriptFileLimit, error) || !file.readAll(bytes, error)) {
            std::fprintf(stderr, "grainwheel-host editor: %s\n", error.c_str());
            return 1;
        }
        std::istringstream text(std::string(bytes.begin(), bytes.end()));
        for (std::string line; std::getline(text, line);) script.push_back(line);
    }
    PlayingSession session;
    if (!session.start(options.session, error)) {
        std::fprintf(stderr, "grainwheel-host editor: %s\n", error.c_str());
        return 1;
    }
    session.process(session.leadIn());
    EditorDriver editor(session, out, options.scale);
    if (!editor.open(error)) {
        std::fprintf(stderr, "grainwheel-host editor: %s\n", error.c_str());
        return 1;
    }
    editor.printAutomation();
    int code = 0;
    for (std::size_t i = 0; i < script.size() && code == 0; ++i) {
        if (!editor.runLine(script[i], error)) {
            std::fprintf(stderr, "grainwheel-host editor: %s line %zu: %s\n", options.scriptPath.c_str(), i + 1,
                         error.c_str());
            code = 1;
        }
        editor.printAutomation();
    }
    if (code == 0 && !options.layoutPath.empty() && !editor.layout(options.layoutPath)) {
        std::fprintf(stderr, "grainwheel-host editor: cannot write %s%s\n", options.layoutPath.c_str(),
                     editor.isOpen() ? "" : " (the script closed the editor)");
        code = 1;
    }
    if (code == 0 && !options.snapshotPath.empty() && !editor.snapshot(options.snapshotPath)) {
        std::fprintf(stderr, "grainwheel-host editor: cannot write %s%s\n", options.snapshotPath.c_str(),
                     editor.isOpen() ? "" : " (the script closed the editor)");
        code = 1;
    }
    editor.close();
    session.host().dispatch(effMainsChanged, 0, 0);
    session.host().close();
    return code;
}

}  // namespace gwhost
