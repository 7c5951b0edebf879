#include "gtk/help_viewer.h"

#include <chm_lib.h>
#include <glibmm/wrap.h>

#include <string_view>
#include <vector>

#include "gtk/main_window.h"
#include "gtk/web_view.h"
#include "settings/launch.h"
#include "ui/texts.h"

namespace vistrelle::gtk {

namespace {

// No page of a help file is anywhere near this; a damaged length is not believed.
constexpr LONGUINT64 kLargestPage = 64u << 20;
constexpr const char* kViewerKey = "vistrelle-help-viewer";

int findContents(chmFile* /*file*/, chmUnitInfo* unit, void* context) {
    std::string_view path = unit->path;
    if (path.size() > 4 && path.ends_with(".hhc")) {
        *static_cast<std::string*>(context) = std::string(path);
        return CHM_ENUMERATOR_SUCCESS;
    }
    return CHM_ENUMERATOR_CONTINUE;
}

// One web context for every help window: its own scheme serves the pages of the archive.
WebKitWebContext* helpContext(WebKitURISchemeRequestCallback handler) {
    static WebKitWebContext* context = [handler] {
        WebKitWebContext* made = webkit_web_context_new();
        webkit_web_context_register_uri_scheme(made, std::string(kHelpScheme).c_str(), handler,
                                               nullptr, nullptr);
        return made;
    }();
    return context;
}

}  // namespace

std::unique_ptr<HelpArchive> HelpArchive::open(const std::string& path) {
    chmFile* file = chm_open(path.c_str());
    return file != nullptr ? std::make_unique<HelpArchive>(file) : nullptr;
}

HelpArchive::~HelpArchive() {
    chm_close(file_);
}

std::optional<std::string> HelpArchive::read(const std::string& archivePath) const {
    chmUnitInfo unit{};
    if (archivePath.empty() || archivePath.size() > CHM_MAX_PATHLEN ||
        chm_resolve_object(file_, archivePath.c_str(), &unit) != CHM_RESOLVE_SUCCESS ||
        unit.length > kLargestPage) {
        return std::nullopt;
    }
    std::string bytes(static_cast<size_t>(unit.length), '\0');
    if (unit.length == 0) {
        return bytes;
    }
    LONGINT64 got =
        chm_retrieve_object(file_, &unit, reinterpret_cast<unsigned char*>(bytes.data()), 0,
                            static_cast<LONGINT64>(unit.length));
    if (got != static_cast<LONGINT64>(unit.length)) {
        return std::nullopt;
    }
    return bytes;
}

std::string HelpArchive::contentsPath() const {
    std::string path;
    chm_enumerate(file_, CHM_ENUMERATE_NORMAL | CHM_ENUMERATE_FILES, findContents, &path);
    return path;
}

std::unique_ptr<HelpViewer> HelpViewer::open(const std::string& path, LinkOpener opener) {
    std::unique_ptr<HelpArchive> archive = HelpArchive::open(path);
    if (!archive) {
        return nullptr;
    }
    std::vector<HelpTopic> topics;
    std::string contents = archive->contentsPath();
    if (!contents.empty()) {
        if (std::optional<std::string> sitemap = archive->read(contents)) {
            topics = readHelpContents(*sitemap);
        }
    }
    // An archive whose first page cannot be read is as good as none.
    std::string start = helpStartPage(topics);
    if (!archive->read(start)) {
        return nullptr;
    }
    return std::make_unique<HelpViewer>(std::move(archive), std::move(topics), std::move(start),
                                        std::move(opener));
}

HelpViewer::HelpViewer(std::unique_ptr<HelpArchive> archive, std::vector<HelpTopic> topics,
                       std::string startPage, LinkOpener opener)
    : archive_(std::move(archive)), opener_(std::move(opener)) {
    set_title(std::string(texts::kHelpWindowTitle));
    set_default_size(760, 540);
    setProgramIcons(*this);

    store_ = Gtk::TreeStore::create(columns_);
    contents_.set_model(store_);
    contents_.append_column("", columns_.name);
    contents_.set_headers_visible(false);
    contents_.set_enable_search(false);
    fillContents(topics);
    contents_.expand_all();
    topicChosen_ = contents_.get_selection()->signal_changed().connect(
        sigc::mem_fun(*this, &HelpViewer::onTopicChosen));
    contentsScroll_.set_policy(Gtk::POLICY_AUTOMATIC, Gtk::POLICY_AUTOMATIC);
    contentsScroll_.set_shadow_type(Gtk::SHADOW_IN);
    contentsScroll_.add(contents_);
    contentsScroll_.set_size_request(200, -1);

    view_ = WEBKIT_WEB_VIEW(webkit_web_view_new_with_context(helpContext(onSchemeRequest)));
    g_object_ref_sink(view_);
    g_object_set_data(G_OBJECT(view_), kViewerKey, this);
    // The pages are text and pictures: none of them runs a script.
    WebKitSettings* settings = webkit_web_view_get_settings(view_);
    webkit_settings_set_enable_javascript_markup(settings, FALSE);
    webkit_settings_set_javascript_can_open_windows_automatically(settings, FALSE);
    g_signal_connect(view_, "decide-policy", G_CALLBACK(onDecidePolicy), this);
    g_signal_connect(view_, "load-changed", G_CALLBACK(onLoadChanged), this);
    viewWidget_ = Glib::wrap(GTK_WIDGET(view_));

    paned_.pack1(contentsScroll_, false, false);
    paned_.pack2(*viewWidget_, true, false);
    add(paned_);
    paned_.show_all();
    showPage(startPage);
}

HelpViewer::~HelpViewer() {
    topicChosen_.disconnect();
    g_signal_handlers_disconnect_by_data(view_, this);
    g_object_set_data(G_OBJECT(view_), kViewerKey, nullptr);
    webkit_web_view_stop_loading(view_);
    paned_.remove(*viewWidget_);
    g_object_unref(view_);
}

void HelpViewer::fillContents(const std::vector<HelpTopic>& topics) {
    // The last row at each depth: the parent of a deeper entry that follows.
    std::vector<Gtk::TreeRow> parents;
    for (const HelpTopic& topic : topics) {
        size_t depth = std::min(static_cast<size_t>(topic.depth), parents.size());
        parents.resize(depth);
        Gtk::TreeRow row =
            *(depth == 0 ? store_->append() : store_->append(parents.back().children()));
        row[columns_.name] = topic.name;
        row[columns_.page] = helpArchivePath(topic.local);
        parents.push_back(row);
    }
}

void HelpViewer::onTopicChosen() {
    Gtk::TreeModel::iterator chosen = contents_.get_selection()->get_selected();
    if (!chosen) {
        return;
    }
    std::string page = (*chosen)[columns_.page];
    if (!page.empty() && page != shownPage()) {
        showPage(page);
    }
}

void HelpViewer::showPage(const std::string& archivePath) {
    webkit_web_view_load_uri(view_, helpPageAddress(archivePath).c_str());
}

std::string HelpViewer::shownPage() const {
    const gchar* uri = webkit_web_view_get_uri(view_);
    return uri != nullptr ? helpPathOfAddress(uri) : std::string();
}

gboolean HelpViewer::onDecidePolicy(WebKitWebView* view, WebKitPolicyDecision* decision,
                                    WebKitPolicyDecisionType type, gpointer self) {
    if (type != WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION &&
        type != WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION) {
        return FALSE;
    }
    auto* viewer = static_cast<HelpViewer*>(self);
    WebKitNavigationType navigation = WEBKIT_NAVIGATION_TYPE_OTHER;
    std::string address = navigationAddress(decision, &navigation);
    std::string page = helpPathOfAddress(address);
    if (!page.empty() && type == WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION) {
        // A page of the archive: followed here.
        webkit_policy_decision_use(decision);
        return TRUE;
    }
    webkit_policy_decision_ignore(decision);
    if (!page.empty()) {
        // A page of the archive asked for in a new window opens in this one.
        webkit_web_view_load_uri(view, address.c_str());
    } else if (!webAddressFor(address).empty() && viewer->opener_ &&
               (navigation == WEBKIT_NAVIGATION_TYPE_LINK_CLICKED ||
                type == WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION)) {
        // A web address goes to the user's browser; nothing else goes anywhere.
        viewer->opener_(address);
    }
    return TRUE;
}

void HelpViewer::onLoadChanged(WebKitWebView* /*view*/, WebKitLoadEvent event, gpointer self) {
    if (event != WEBKIT_LOAD_COMMITTED) {
        return;
    }
    // The contents follow the page shown, whichever way it was reached.
    auto* viewer = static_cast<HelpViewer*>(self);
    std::string shown = viewer->shownPage();
    viewer->store_->foreach_iter([viewer, &shown](const Gtk::TreeIter& row) {
        std::string page = (*row)[viewer->columns_.page];
        if (page != shown) {
            return false;
        }
        viewer->contents_.expand_to_path(viewer->store_->get_path(row));
        viewer->contents_.get_selection()->select(row);
        return true;
    });
}

void HelpViewer::onSchemeRequest(WebKitURISchemeRequest* request, gpointer /*unused*/) {
    WebKitWebView* view = webkit_uri_scheme_request_get_web_view(request);
    auto* viewer = view != nullptr
                       ? static_cast<HelpViewer*>(g_object_get_data(G_OBJECT(view), kViewerKey))
                       : nullptr;
    std::string path = helpPathOfAddress(webkit_uri_scheme_request_get_uri(request));
    std::optional<std::string> bytes;
    if (viewer != nullptr && !path.empty()) {
        bytes = viewer->archive_->read(path);
    }
    if (!bytes) {
        const std::string missing = (path.empty() ? std::string(texts::kThisPage) : path) +
                                    std::string(texts::kNotInHelpFile);
        GError* error = g_error_new_literal(G_IO_ERROR, G_IO_ERROR_NOT_FOUND, missing.c_str());
        webkit_uri_scheme_request_finish_error(request, error);
        g_error_free(error);
        return;
    }
    const gssize size = static_cast<gssize>(bytes->size());
    GBytes* data = g_bytes_new(bytes->data(), bytes->size());
    GInputStream* stream = g_memory_input_stream_new_from_bytes(data);
    webkit_uri_scheme_request_finish(request, stream, size,
                                     std::string(helpContentType(path)).c_str());
    g_object_unref(stream);
    g_bytes_unref(data);
}

}  // namespace vistrelle::gtk
