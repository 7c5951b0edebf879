// The help window on Linux: "Help.chm" read with chmlib, its contents on the left, its pages in a
// WebKit view that reads them straight from the archive.
#pragma once

#include <gtkmm/paned.h>
#include <gtkmm/scrolledwindow.h>
#include <gtkmm/treestore.h>
#include <gtkmm/treeview.h>
#include <gtkmm/window.h>
#include <webkit2/webkit2.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "help/help_contents.h"

struct chmFile;

namespace vistrelle::gtk {

// A help archive, open for reading.
class HelpArchive {
public:
    // The archive at `path`, or null when it cannot be opened as one.
    static std::unique_ptr<HelpArchive> open(const std::string& path);
    explicit HelpArchive(chmFile* file) : file_(file) {}
    HelpArchive(const HelpArchive&) = delete;
    HelpArchive& operator=(const HelpArchive&) = delete;
    ~HelpArchive();

    // The bytes of one file ("/index.html"), or nothing when it is missing or cannot be read
    // whole.
    std::optional<std::string> read(const std::string& archivePath) const;
    // The path of the archive's table of contents (the first ".hhc"), or empty.
    std::string contentsPath() const;

private:
    chmFile* file_;
};

class HelpViewer final : public Gtk::Window {
public:
    using LinkOpener = std::function<void(const std::string& url)>;

    // A window for the archive at `path`, not shown yet; null when the file is missing, is no
    // archive, or its first page cannot be read. Web addresses of its links go to `opener`.
    static std::unique_ptr<HelpViewer> open(const std::string& path, LinkOpener opener);
    HelpViewer(std::unique_ptr<HelpArchive> archive, std::vector<HelpTopic> topics,
               std::string startPage, LinkOpener opener);
    HelpViewer(const HelpViewer&) = delete;
    HelpViewer& operator=(const HelpViewer&) = delete;
    ~HelpViewer() override;

    // Shows a page of the archive ("/index.html").
    void showPage(const std::string& archivePath);
    // The archive path of the page shown (or being loaded), empty before the first.
    std::string shownPage() const;

    WebKitWebView* webKitView() const { return view_; }
    Gtk::TreeView& contentsView() { return contents_; }
    const HelpArchive& archive() const { return *archive_; }

private:
    struct Columns : Gtk::TreeModelColumnRecord {
        Columns() {
            add(name);
            add(page);
        }
        Gtk::TreeModelColumn<Glib::ustring> name;
        Gtk::TreeModelColumn<std::string> page;
    };

    void fillContents(const std::vector<HelpTopic>& topics);
    void onTopicChosen();
    static gboolean onDecidePolicy(WebKitWebView* view, WebKitPolicyDecision* decision,
                                   WebKitPolicyDecisionType type, gpointer self);
    static void onLoadChanged(WebKitWebView* view, WebKitLoadEvent event, gpointer self);
    static void onSchemeRequest(WebKitURISchemeRequest* request, gpointer unused);

    std::unique_ptr<HelpArchive> archive_;
    LinkOpener opener_;
    Columns columns_;
    Glib::RefPtr<Gtk::TreeStore> store_;
    Gtk::Paned paned_{Gtk::ORIENTATION_HORIZONTAL};
    Gtk::ScrolledWindow contentsScroll_;
    Gtk::TreeView contents_;
    sigc::connection topicChosen_;
    WebKitWebView* view_ = nullptr;
    Gtk::Widget* viewWidget_ = nullptr;
};

}  // namespace vistrelle::gtk
