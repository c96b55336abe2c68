// The built bundle's two modules loaded as a host loads them (run on a private X server,
// tests/support/with-xvfb.sh): the plug-in through lv2_descriptor with urid:map and a
// synchronous worker, the UI through lv2ui_descriptor inside a parent window of the
// test's own, with and without instance-access; the UI closed while the instance's audio
// thread runs; a UI without instance-access drawing its scopes and thumbnails from the
// plug-in's notify port as the UI with it draws them.

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include <lv2/atom/util.h>
#include <lv2/core/lv2.h>
#include <lv2/data-access/data-access.h>
#include <lv2/atom/atom.h>
#include <lv2/instance-access/instance-access.h>
#include <lv2/options/options.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>
#include <lv2/worker/worker.h>

namespace {

constexpr const char* kPluginUri = "urn:orbelune:grainwheel";
constexpr const char* kUiUri = "urn:orbelune:grainwheel#ui";
constexpr int kControls = 107;
constexpr std::uint32_t kBlock = 256;

// urid:map
struct UridMap {
    std::mutex lock;
    std::vector<std::string> uris;
    static LV2_URID map(LV2_URID_Map_Handle h, const char* uri) {
        auto* m = static_cast<UridMap*>(h);
        std::lock_guard<std::mutex> hold(m->lock);
        for (std::size_t i = 0; i < m->uris.size(); ++i)
            if (m->uris[i] == uri) return static_cast<LV2_URID>(i + 1);
        m->uris.emplace_back(uri);
        return static_cast<LV2_URID>(m->uris.size());
    }
};

// RTLD_NODELETE: the modules stay mapped after dlclose, as a host's do, so what their
// statics still hold is not reported as leaked by LeakSanitizer.
struct Module {
    void* handle = nullptr;
    explicit Module(const std::string& path) : handle(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE)) {}
    ~Module() {
        if (handle) dlclose(handle);
    }
    template <class F> F symbol(const char* name) { return reinterpret_cast<F>(dlsym(handle, name)); }
};

// The plug-in instance with its ports, the worker run at once (on the calling thread).
class Instance {
public:
    explicit Instance(const std::string& bundle) : dsp_(bundle + "/grainwheel_dsp.so") {
        if (!dsp_.handle) return;
        auto entry = dsp_.symbol<const LV2_Descriptor* (*)(std::uint32_t)>("lv2_descriptor");
        desc_ = entry ? entry(0) : nullptr;
        if (!desc_) return;
        worker_ = static_cast<const LV2_Worker_Interface*>(desc_->extension_data(LV2_WORKER__interface));
        const LV2_Feature* features[] = {&mapFeature_, &scheduleFeature_, nullptr};
        handle_ = desc_->instantiate(desc_, 44100.0, bundle.c_str(), features);
        if (!handle_) return;
        for (int i = 0; i < kControls; ++i) desc_->connect_port(handle_, static_cast<std::uint32_t>(i), &controls[i]);
        desc_->connect_port(handle_, 107, in_);
        desc_->connect_port(handle_, 108, in_);
        desc_->connect_port(handle_, 109, out_[0]);
        desc_->connect_port(handle_, 110, out_[1]);
        desc_->connect_port(handle_, 112, &notify_);
        desc_->activate(handle_);
    }
    ~Instance() {
        if (handle_) {
            desc_->deactivate(handle_);
            desc_->cleanup(handle_);
        }
    }
    bool ok() const { return handle_ != nullptr; }
    // A block; then each event the plug-in wrote to its notify port, to `forward`.
    template <class F> void run(F forward) {
        notify_.sequence.atom = {sizeof notify_ - sizeof(LV2_Atom), 0};
        desc_->run(handle_, kBlock);
        LV2_ATOM_SEQUENCE_FOREACH(&notify_.sequence, ev) forward(&ev->body);
    }
    void run() {
        run([](const LV2_Atom*) {});
    }
    LV2_URID_Map* map() { return &map_; }
    // The input: a sine of `hz`, or silence.
    void input(float hz) {
        for (std::uint32_t i = 0; i < kBlock; ++i)
            in_[i] = hz > 0.0f ? 0.5f * std::sin(6.2831853f * hz * static_cast<float>(phase_++) / 44100.0f) : 0.0f;
    }
    LV2_Handle handle() const { return handle_; }
    const LV2_Descriptor* descriptor() const { return desc_; }

    float controls[kControls] = {};

private:
    static LV2_Worker_Status schedule(LV2_Worker_Schedule_Handle h, std::uint32_t size, const void* data) {
        auto* self = static_cast<Instance*>(h);
        if (!self->worker_) return LV2_WORKER_ERR_UNKNOWN;
        return self->worker_->work(self->handle_, &respond, self, size, data);
    }
    static LV2_Worker_Status respond(LV2_Worker_Respond_Handle, std::uint32_t, const void*) {
        return LV2_WORKER_SUCCESS;
    }

    Module dsp_;
    const LV2_Descriptor* desc_ = nullptr;
    const LV2_Worker_Interface* worker_ = nullptr;
    LV2_Handle handle_ = nullptr;
    UridMap uridMap_;
    LV2_URID_Map map_{&uridMap_, &UridMap::map};
    LV2_Worker_Schedule schedule_{this, &Instance::schedule};
    LV2_Feature mapFeature_{LV2_URID__map, &map_};
    LV2_Feature scheduleFeature_{LV2_WORKER__schedule, &schedule_};
    float in_[kBlock] = {};
    long phase_ = 0;
    union Notify {
        LV2_Atom_Sequence sequence;
        std::uint8_t bytes[16384];
    } notify_{};
    float out_[2][kBlock] = {};
};

struct UiHost {
    std::vector<std::pair<std::uint32_t, float>> writes;
    int width = 0, height = 0;
    static void write(LV2UI_Controller c, std::uint32_t port, std::uint32_t size, std::uint32_t format,
                      const void* buffer) {
        if (size == sizeof(float) && format == 0)
            static_cast<UiHost*>(c)->writes.emplace_back(port, *static_cast<const float*>(buffer));
    }
    static int resize(LV2UI_Feature_Handle h, int w, int hh) {
        static_cast<UiHost*>(h)->width = w;
        static_cast<UiHost*>(h)->height = hh;
        return 0;
    }
    static void touch(LV2UI_Feature_Handle, std::uint32_t, bool) {}
};

class ModuleTest : public ::testing::Test {
protected:
    void SetUp() override {
        conn_ = xcb_connect(nullptr, nullptr);
        if (xcb_connection_has_error(conn_)) FAIL() << "no X display (run it through tests/support/with-xvfb.sh)";
        xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(conn_)).data;
        parent_ = xcb_generate_id(conn_);
        xcb_create_window(conn_, XCB_COPY_FROM_PARENT, parent_, screen->root, 0, 0, 1000, 500, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
        xcb_map_window(conn_, parent_);
        xcb_flush(conn_);
        ui_ = std::make_unique<Module>(std::string(GW_LV2_BUNDLE) + "/grainwheel_ui.so");
        ASSERT_NE(ui_->handle, nullptr) << dlerror();
        auto entry = ui_->symbol<const LV2UI_Descriptor* (*)(std::uint32_t)>("lv2ui_descriptor");
        ASSERT_NE(entry, nullptr);
        uiDesc_ = entry(0);
        ASSERT_NE(uiDesc_, nullptr);
        EXPECT_STREQ(uiDesc_->URI, kUiUri);
        EXPECT_EQ(entry(1), nullptr);
        idle_ = static_cast<const LV2UI_Idle_Interface*>(uiDesc_->extension_data(LV2_UI__idleInterface));
        ASSERT_NE(idle_, nullptr);
    }
    void TearDown() override {
        ui_.reset();
        if (conn_) xcb_disconnect(conn_);
    }
    // The UI inside parent_; with `instance` (instance-access and data-access) or without.
    LV2UI_Handle openUi(const Instance* instance, LV2UI_Widget* widget, LV2_URID_Map* map = nullptr) {
        extData_.data_access = instance ? instance->descriptor()->extension_data : nullptr;
        std::vector<const LV2_Feature*> features{&parentFeature_, &resizeFeature_, &touchFeature_, &idleFeature_};
        LV2_Feature mapFeature{LV2_URID__map, map};
        if (map) features.push_back(&mapFeature);
        LV2_Feature instanceFeature{LV2_INSTANCE_ACCESS_URI, instance ? instance->handle() : nullptr};
        LV2_Feature dataFeature{LV2_DATA_ACCESS_URI, &extData_};
        if (instance) {
            features.push_back(&instanceFeature);
            features.push_back(&dataFeature);
        }
        features.push_back(nullptr);
        return uiDesc_->instantiate(uiDesc_, kPluginUri, GW_LV2_BUNDLE, &UiHost::write, &host_, widget,
                                    features.data());
    }
    // The window's size and parent.
    void geometry(xcb_window_t w, int& width, int& height, xcb_window_t& parent) {
        xcb_get_geometry_reply_t* g = xcb_get_geometry_reply(conn_, xcb_get_geometry(conn_, w), nullptr);
        ASSERT_NE(g, nullptr);
        width = g->width;
        height = g->height;
        std::free(g);
        xcb_query_tree_reply_t* t = xcb_query_tree_reply(conn_, xcb_query_tree(conn_, w), nullptr);
        ASSERT_NE(t, nullptr);
        parent = t->parent;
        std::free(t);
    }

    xcb_connection_t* conn_ = nullptr;
    xcb_window_t parent_ = 0;
    std::unique_ptr<Module> ui_;
    const LV2UI_Descriptor* uiDesc_ = nullptr;
    const LV2UI_Idle_Interface* idle_ = nullptr;
    UiHost host_;
    LV2UI_Resize resize_{&host_, &UiHost::resize};
    LV2UI_Touch touch_{&host_, &UiHost::touch};
    LV2_Extension_Data_Feature extData_{nullptr};
    LV2_Feature parentFeature_{LV2_UI__parent, nullptr};
    LV2_Feature resizeFeature_{LV2_UI__resize, &resize_};
    LV2_Feature touchFeature_{LV2_UI__touch, &touch_};
    LV2_Feature idleFeature_{LV2_UI__idleInterface, nullptr};
};

TEST_F(ModuleTest, ThePanelOpensInTheHostsWindowWithAndWithoutTheInstance) {
    parentFeature_.data = reinterpret_cast<void*>(static_cast<std::uintptr_t>(parent_));
    Instance fx(GW_LV2_BUNDLE);
    ASSERT_TRUE(fx.ok());
    // Another plug-in's URI is refused.
    LV2UI_Widget widget = nullptr;
    EXPECT_EQ(uiDesc_->instantiate(uiDesc_, "urn:other", GW_LV2_BUNDLE, &UiHost::write, &host_, &widget, nullptr),
              nullptr);

    for (const Instance* instance : {&fx, static_cast<Instance*>(nullptr)}) {
        SCOPED_TRACE(instance ? "with instance-access" : "without instance-access");
        host_ = UiHost{};
        widget = nullptr;
        LV2UI_Handle ui = openUi(instance, &widget);
        ASSERT_NE(ui, nullptr);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(host_.width, 930);
        EXPECT_EQ(host_.height, 414);
        int w = 0, h = 0;
        xcb_window_t up = 0;
        geometry(static_cast<xcb_window_t>(reinterpret_cast<std::uintptr_t>(widget)), w, h, up);
        EXPECT_EQ(w, 930);
        EXPECT_EQ(h, 414);
        EXPECT_EQ(up, parent_);
        for (int i = 0; i < 5; ++i) EXPECT_EQ(idle_->idle(ui), 0);
        // A host value arrives; nothing is written back for it.
        const float v = 0.25f;
        uiDesc_->port_event(ui, 1, sizeof(float), 0, &v);
        EXPECT_EQ(idle_->idle(ui), 0);
        EXPECT_TRUE(host_.writes.empty());
        uiDesc_->cleanup(ui);
    }
}

// The scale: the host's through the options (ui:scaleFactor, at instantiation and later
// through the options interface), else the desktop's (Xft.dpi on the root window).
TEST_F(ModuleTest, ThePanelTakesTheHostsScaleElseTheDesktops) {
    const auto config = std::filesystem::path(::testing::TempDir()) / "gw_lv2_scale";
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);  // no user's zoom
    unsetenv("GRAINWHEEL_SCALE");
    parentFeature_.data = reinterpret_cast<void*>(static_cast<std::uintptr_t>(parent_));
    static std::map<std::string, LV2_URID> urids;
    LV2_URID_Map map{nullptr, [](LV2_URID_Map_Handle, const char* uri) -> LV2_URID {
                         return urids.emplace(uri, static_cast<LV2_URID>(urids.size() + 1)).first->second;
                     }};
    LV2_Feature mapFeature{LV2_URID__map, &map};
    float scale = 2.0f;
    LV2_Options_Option options[2] = {
        {LV2_OPTIONS_INSTANCE, 0, map.map(nullptr, LV2_UI__scaleFactor), sizeof(float),
         map.map(nullptr, LV2_ATOM__Float), &scale},
        {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr}};
    LV2_Feature optionsFeature{LV2_OPTIONS__options, options};
    auto open = [&](bool withOptions) {
        host_ = UiHost{};
        const LV2_Feature* features[] = {&parentFeature_, &resizeFeature_, &idleFeature_, &mapFeature,
                                         withOptions ? &optionsFeature : nullptr, nullptr};
        LV2UI_Widget widget = nullptr;
        LV2UI_Handle ui = uiDesc_->instantiate(uiDesc_, kPluginUri, GW_LV2_BUNDLE, &UiHost::write, &host_, &widget,
                                               features);
        EXPECT_NE(widget, nullptr);
        return std::make_pair(ui, static_cast<xcb_window_t>(reinterpret_cast<std::uintptr_t>(widget)));
    };
    auto [ui, window] = open(true);
    ASSERT_NE(ui, nullptr);
    EXPECT_EQ(host_.width, 1860);
    EXPECT_EQ(host_.height, 828);
    int w = 0, h = 0;
    xcb_window_t up = 0;
    geometry(window, w, h, up);
    EXPECT_EQ(w, 1860);
    EXPECT_EQ(h, 828);
    const auto* iface = static_cast<const LV2_Options_Interface*>(uiDesc_->extension_data(LV2_OPTIONS__interface));
    ASSERT_NE(iface, nullptr);
    scale = 1.5f;
    EXPECT_EQ(iface->set(ui, options), static_cast<std::uint32_t>(LV2_OPTIONS_SUCCESS));
    EXPECT_EQ(host_.width, 1395);
    EXPECT_EQ(idle_->idle(ui), 0);
    geometry(window, w, h, up);
    EXPECT_EQ(w, 1395);
    uiDesc_->cleanup(ui);

    // No scale from the host: the desktop's 144 dpi.
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(conn_)).data;
    const std::string resources = "Xft.antialias:\t1\nXft.dpi:\t144\n";
    xcb_change_property(conn_, XCB_PROP_MODE_REPLACE, screen->root, XCB_ATOM_RESOURCE_MANAGER, XCB_ATOM_STRING, 8,
                        static_cast<std::uint32_t>(resources.size()), resources.c_str());
    xcb_flush(conn_);
    std::tie(ui, window) = open(false);
    ASSERT_NE(ui, nullptr);
    EXPECT_EQ(host_.width, 1395);
    EXPECT_EQ(host_.height, 621);
    uiDesc_->cleanup(ui);
    xcb_delete_property(conn_, screen->root, XCB_ATOM_RESOURCE_MANAGER);
    xcb_flush(conn_);
    std::filesystem::remove_all(config);
}

// The UI closed again and again while the instance's audio thread changes parameters and
// programs (every change a notice to the UI's listener): no notice reaches a closed panel.
TEST_F(ModuleTest, CleanupWhileTheInstanceRuns) {
    parentFeature_.data = reinterpret_cast<void*>(static_cast<std::uintptr_t>(parent_));
    Instance fx(GW_LV2_BUNDLE);
    ASSERT_TRUE(fx.ok());
    std::atomic<bool> stop{false};
    std::thread audio([&] {
        float level = 0.0f;
        while (!stop.load()) {
            level = level > 0.9f ? 0.0f : level + 0.01f;
            fx.controls[1] = level;
            fx.controls[12] = level > 0.5f ? 2.0f / 15.0f : 0.0f;
            fx.run();
        }
    });
    for (int round = 0; round < 10; ++round) {
        LV2UI_Widget widget = nullptr;
        LV2UI_Handle ui = openUi(&fx, &widget);
        ASSERT_NE(ui, nullptr);
        for (int i = 0; i < 3; ++i) idle_->idle(ui);
        uiDesc_->cleanup(ui);
    }
    stop.store(true);
    audio.join();
    fx.run();
}

// The pixels of r (window coordinates) of window w, 32 bits each.
std::vector<std::uint32_t> pixels(xcb_connection_t* c, xcb_window_t w, int x, int y, int width, int height) {
    xcb_get_image_reply_t* image = xcb_get_image_reply(
        c, xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, w, static_cast<std::int16_t>(x), static_cast<std::int16_t>(y),
                         static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height), ~0u),
        nullptr);
    std::vector<std::uint32_t> out;
    if (image == nullptr) return out;
    const auto* data = reinterpret_cast<const std::uint32_t*>(xcb_get_image_data(image));
    out.assign(data, data + xcb_get_image_data_length(image) / 4);
    std::free(image);
    for (std::uint32_t& p : out) p &= 0xFFFFFFu;
    return out;
}

// Two panels on one running instance, one with instance-access and one without it (fed
// the notify port's messages, as a host that bridges its UIs does): after a recording and
// grains playing, the scopes and the thumbnails show the same pixels in both, and they
// show something.
TEST_F(ModuleTest, WithoutTheInstanceTheScopesAndThumbnailsComeThroughTheNotifyPort) {
    Instance fx(GW_LV2_BUNDLE);
    ASSERT_TRUE(fx.ok());
    // The "Init" program's values on the host's ports.
    fx.controls[1] = 0.5f;
    fx.controls[2] = 1.0f;
    fx.controls[3] = 0.43089432f;
    for (int u = 0; u < 16; ++u) {
        fx.controls[43 + u] = 0.8f;
        fx.controls[59 + u] = 1.0f;
        fx.controls[75 + u] = 0.5f;
        fx.controls[91 + u] = 1.0f;
    }
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(conn_)).data;
    const xcb_window_t second = xcb_generate_id(conn_);
    xcb_create_window(conn_, XCB_COPY_FROM_PARENT, second, screen->root, 0, 500, 1000, 500, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
    xcb_map_window(conn_, second);
    xcb_flush(conn_);
    LV2UI_Widget withWidget = nullptr, withoutWidget = nullptr;
    parentFeature_.data = reinterpret_cast<void*>(static_cast<std::uintptr_t>(parent_));
    LV2UI_Handle with = openUi(&fx, &withWidget, fx.map());
    parentFeature_.data = reinterpret_cast<void*>(static_cast<std::uintptr_t>(second));
    LV2UI_Handle without = openUi(nullptr, &withoutWidget, fx.map());
    ASSERT_NE(with, nullptr);
    ASSERT_NE(without, nullptr);
    const LV2_URID transfer = fx.map()->map(fx.map()->handle, LV2_ATOM__eventTransfer);
    const LV2_URID scope = fx.map()->map(fx.map()->handle, "urn:orbelune:grainwheel#DisplayScope");
    bool scoped = false;
    const auto forward = [&](const LV2_Atom* atom) {
        uiDesc_->port_event(without, 112, sizeof(LV2_Atom) + atom->size, transfer, atom);
        const auto* object = reinterpret_cast<const LV2_Atom_Object*>(atom);
        scoped = scoped || object->body.otype == scope;
    };
    const auto idleBoth = [&] {
        idle_->idle(with);
        idle_->idle(without);
    };
    // One second recorded into the current buffer, then grains played from it for a while.
    fx.controls[9] = 1.0f;
    for (int block = 0; block < 200; ++block) {
        fx.input(440.0f);
        fx.run(forward);
        if (block % 8 == 0) idleBoth();
    }
    fx.controls[9] = 0.0f;
    fx.input(0.0f);
    for (int block = 0; block < 400; ++block) {
        fx.run(forward);
        if (block % 8 == 0) idleBoth();
    }
    // Up to the block whose messages carry a new capture: both panels then have the same.
    scoped = false;
    for (int block = 0; block < 2000 && !scoped; ++block) fx.run(forward);
    EXPECT_TRUE(scoped);
    for (int i = 0; i < 20; ++i) {
        idleBoth();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const auto windowOf = [](LV2UI_Widget w) {
        return static_cast<xcb_window_t>(reinterpret_cast<std::uintptr_t>(w));
    };
    // The main scope, the small scope, the first thumbnail (the buffer recorded into).
    const struct {
        const char* name;
        int x, y, width, height;
    } views[] = {{"main scope", 17, 64, 361, 108}, {"small scope", 393, 342, 206, 60}, {"thumbnail", 29, 211, 74, 38}};
    for (const auto& v : views) {
        SCOPED_TRACE(v.name);
        const auto a = pixels(conn_, windowOf(withWidget), v.x, v.y, v.width, v.height);
        const auto b = pixels(conn_, windowOf(withoutWidget), v.x, v.y, v.width, v.height);
        ASSERT_EQ(a.size(), static_cast<std::size_t>(v.width * v.height));
        EXPECT_TRUE(a == b);
        // Something is drawn: more than the two colours of an empty view.
        std::vector<std::uint32_t> colours(b);
        std::sort(colours.begin(), colours.end());
        EXPECT_GT(std::unique(colours.begin(), colours.end()) - colours.begin(), 4);
    }
    uiDesc_->cleanup(without);
    uiDesc_->cleanup(with);
    xcb_destroy_window(conn_, second);
}

}  // namespace
