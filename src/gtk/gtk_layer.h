// The Linux window layer: GTK 3 windows, WebKitGTK as the web view. It carries out what the
// program asks and reports what the user does; it decides nothing.
#pragma once

#include <map>
#include <memory>

#include "gtk/channel_list.h"
#include "gtk/country_selector.h"
#include "gtk/dialog_window.h"
#include "gtk/event_pump.h"
#include "gtk/faults.h"
#include "gtk/launcher.h"
#include "gtk/main_window.h"
#include "gtk/media_bus.h"
#include "gtk/search_field.h"
#include "gtk/web_view.h"
#include "ui/window_layer.h"

namespace vistrelle::gtk {

class GtkWindowUi final : public WindowUi {
public:
    GtkWindowUi(EventRouter& router, GtkChannelList& list, GtkCountrySelector& selector,
                GtkSearchField& search, GtkWebView& webView, GtkFaults& faults);
    ~GtkWindowUi() override;

    Size screenSize() override;
    Size frameSizeForClient(int32_t window, Size client, bool tool) override;
    bool createMainWindow(const Rect& frame, std::string_view title) override;
    void createMenus() override;
    void createStatusBar() override;
    bool createControls(int32_t window) override;
    void addHelpAccelerator(int32_t window, int32_t command) override;

    ChannelListUi& channelList() override { return list_; }
    CountrySelectorUi& countrySelector() override { return selector_; }
    SearchFieldUi& searchField() override { return search_; }
    WebView* webView() override { return &webView_; }

    Rect windowFrame(int32_t window) override;
    Size layoutSize() override;
    bool isMaximized() override;
    void setClientWidth(int32_t width) override;
    void redrawNow() override;
    void placeControl(int32_t control, const Rect& rect) override;
    void setControlVisible(int32_t control, bool visible) override;
    void setControlText(int32_t control, std::string_view text,
                        std::string_view accessibleName) override;
    bool menuItemChecked(int32_t command) override;
    void setMenuItemChecked(int32_t command, bool checked) override;
    void setTopmost(bool topmost) override;
    void showPopupMenu(int32_t menu, PopupPlace place) override;
    int64_t nativeHandle() override;
    void setStatusText(std::string_view text) override;

    bool openDialog(int32_t window, std::string_view title, const Rect& frame) override;
    void makeToolWindow(int32_t window, Size client) override;
    void closeDialog(int32_t window) override;
    void setWindowEnabled(int32_t window, bool enabled) override;
    bool isWindowOpen(int32_t window) override;
    void setOptionChecked(int32_t control, bool checked) override;
    bool optionChecked(int32_t control) override;

    MessageAnswer showMessage(std::string_view title, std::string_view text, MessageIcon icon,
                              MessageButtons buttons) override;
    void destroyAllWindows() override;

    // The windows, for the program's own checks; null when not open.
    MainWindow* mainWindow() { return main_.get(); }
    ControlWindow* window(int32_t id);

private:
    // What the window manager adds around a window's content.
    Size decorations();
    DialogWindow* dialogWithControl(int32_t control);

    EventRouter& router_;
    GtkChannelList& list_;
    GtkCountrySelector& selector_;
    GtkSearchField& search_;
    GtkWebView& webView_;
    GtkFaults& faults_;
    std::unique_ptr<MainWindow> main_;
    std::map<int32_t, std::unique_ptr<DialogWindow>> dialogs_;
};

class GtkLayer final : public WindowLayer {
public:
    // GTK must have been initialised.
    GtkLayer();
    ~GtkLayer() override;
    GtkLayer(const GtkLayer&) = delete;
    GtkLayer& operator=(const GtkLayer&) = delete;

    void attach(EventSink& sink) override { router_.setSink(&sink); }
    WindowUi& windows() override { return *windows_; }
    EventPump& events() override { return pump_; }
    Launcher& launcher() override { return launcher_; }
    FaultHook& faults() override { return faults_; }
    MediaControlsUi* mediaControls() override { return mediaBus_.get(); }

    GtkWindowUi& ui() { return *windows_; }
    MediaBus& mediaBus() { return *mediaBus_; }
    GtkEventPump& pump() { return pump_; }
    GtkChannelList& list() { return list_; }
    GtkCountrySelector& selector() { return selector_; }
    GtkSearchField& search() { return search_; }
    GtkWebView& web() { return *webView_; }
    GtkLauncher& launches() { return launcher_; }
    GtkFaults& faultHook() { return faults_; }

private:
    EventRouter router_;
    GtkEventPump pump_;
    std::unique_ptr<GtkWebView> webView_;
    GtkLauncher launcher_;
    GtkFaults faults_;
    GtkChannelList list_{router_};
    GtkCountrySelector selector_{router_};
    GtkSearchField search_{router_};
    std::unique_ptr<GtkWindowUi> windows_;
    std::unique_ptr<MediaBus> mediaBus_;
};

// The look of the program's windows: the compact metrics its pixel layout was made for.
void installProgramStyle();

}  // namespace vistrelle::gtk
