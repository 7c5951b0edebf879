#include "gtk/dialogs.h"

#include <gdk/gdkkeysyms.h>
#include <gtkmm/button.h>
#include <gtkmm/combobox.h>
#include <gtkmm/eventbox.h>
#include <gtkmm/frame.h>
#include <gtkmm/label.h>
#include <gtkmm/separator.h>
#include <pangomm/attrlist.h>

#include <algorithm>

#include "gtk/event_pump.h"
#include "ui/display_text.h"
#include "ui/ids.h"

namespace vistrelle::gtk {

namespace {

Glib::ustring utf8(std::string_view text) {
    return displayText(text);
}

}  // namespace

ControlWindow::ControlWindow(int32_t id, EventRouter& router) : id_(id), router_(router) {
    get_style_context()->add_class("vistrelle");
    // The window manager's close never destroys the window: the program decides.
    signal_delete_event().connect(
        [this](GdkEventAny*) {
            router_.closeRequested(id_, CloseSource::User);
            return true;
        },
        false);
    signal_key_press_event().connect(sigc::mem_fun(*this, &ControlWindow::onKeyPress), false);
    area_.show();
}

ControlWindow::~ControlWindow() = default;

Gtk::Widget* ControlWindow::makeOwnControl(const ControlDef& def) {
    Gtk::Widget* widget = nullptr;
    switch (def.kind) {
        case ControlKind::PushButton:
        case ControlKind::DefaultPushButton: {
            auto button = std::make_unique<Gtk::Button>(utf8(def.caption));
            int32_t control = def.id;
            button->signal_clicked().connect([this, control] {
                if (control != kNoControl) {
                    router_.controlEvent(control, ControlAction::Used);
                }
            });
            button->get_accessible()->set_name(
                utf8(def.accessibleName.empty() ? def.caption : def.accessibleName));
            if (def.kind == ControlKind::DefaultPushButton) {
                button->set_can_default(true);
                button->get_style_context()->add_class("default");
            }
            widget = button.get();
            owned_.push_back(std::move(button));
            break;
        }
        case ControlKind::GroupBox: {
            auto frame = std::make_unique<Gtk::Frame>(utf8(def.caption));
            frame->set_shadow_type(Gtk::SHADOW_ETCHED_IN);
            widget = frame.get();
            owned_.push_back(std::move(frame));
            break;
        }
        case ControlKind::StaticText:
        case ControlKind::CentredText: {
            auto label = std::make_unique<Gtk::Label>(utf8(def.caption));
            label->set_line_wrap(true);
            label->set_line_wrap_mode(Pango::WRAP_WORD_CHAR);
            label->set_yalign(0.0f);
            if (def.kind == ControlKind::CentredText) {
                label->set_justify(Gtk::JUSTIFY_CENTER);
                label->set_xalign(0.5f);
            } else {
                label->set_xalign(0.0f);
                // Long explanations wrap within a small fixed rectangle.
                label->get_style_context()->add_class("vistrelle-static");
            }
            if (def.font == FontKind::ProductBold) {
                Pango::AttrList attributes;
                auto family = Pango::Attribute::create_attr_family("Arial");
                auto weight = Pango::Attribute::create_attr_weight(Pango::WEIGHT_BOLD);
                auto size = Pango::Attribute::create_attr_size(8 * PANGO_SCALE);
                attributes.insert(family);
                attributes.insert(weight);
                attributes.insert(size);
                label->set_attributes(attributes);
            }
            widget = label.get();
            owned_.push_back(std::move(label));
            break;
        }
        case ControlKind::RadioButton: {
            if (def.groupStart || !noOption_) {
                group_ = Gtk::RadioButton::Group();
                noOption_ = std::make_unique<Gtk::RadioButton>(group_, "");
            }
            auto radio = std::make_unique<Gtk::RadioButton>(group_, utf8(def.caption));
            int32_t control = def.id;
            Gtk::RadioButton* raw = radio.get();
            radio->signal_toggled().connect([this, control, raw] {
                if (!programChange_ && raw->get_active() && control != kNoControl) {
                    router_.controlEvent(control, ControlAction::Used);
                }
            });
            programChange_ = true;
            noOption_->set_active(true);
            programChange_ = false;
            widget = radio.get();
            owned_.push_back(std::move(radio));
            break;
        }
        case ControlKind::Panel: {
            auto box = std::make_unique<Gtk::EventBox>();
            auto inner = std::make_unique<Gtk::Fixed>();
            box->add(*inner);
            inner->show();
            if (def.whiteBackground) {
                box->get_style_context()->add_class("vistrelle-white");
                box->signal_draw().connect(
                    [](const Cairo::RefPtr<Cairo::Context>& cairo) {
                        cairo->set_source_rgb(1.0, 1.0, 1.0);
                        cairo->paint();
                        return false;
                    },
                    false);
            }
            if (def.id != kNoControl) {
                panels_[def.id] = inner.get();
            }
            widget = box.get();
            owned_.push_back(std::move(inner));
            owned_.push_back(std::move(box));
            break;
        }
        case ControlKind::Separator: {
            auto line = std::make_unique<Gtk::Separator>(Gtk::ORIENTATION_HORIZONTAL);
            line->get_style_context()->add_class("vistrelle-edge");
            widget = line.get();
            owned_.push_back(std::move(line));
            break;
        }
        case ControlKind::WebView:
        case ControlKind::DropDownList:
        case ControlKind::ListView:
            break;
    }
    return widget;
}

void ControlWindow::createControls(std::span<const ControlDef> controls,
                                   const std::function<MadeControl(const ControlDef&)>& make) {
    for (const ControlDef& def : controls) {
        MadeControl made;
        if (def.kind == ControlKind::WebView || def.kind == ControlKind::DropDownList ||
            def.kind == ControlKind::ListView) {
            if (make) {
                made = make(def);
            }
        } else {
            made.placed = makeOwnControl(def);
            made.focus = made.placed;
        }
        if (made.placed == nullptr) {
            continue;
        }
        Gtk::Widget& widget = *made.placed;
        // A drop-down keeps its own height: the table's height includes the opened list.
        widget.set_size_request(def.rect.width,
                                def.kind == ControlKind::DropDownList ? -1 : def.rect.height);
        auto panel = panels_.find(def.parent);
        if (def.parent != -1 && panel != panels_.end()) {
            panel->second->put(widget, def.rect.left, def.rect.top);
        } else {
            area_.put(widget, def.rect.left, def.rect.top);
        }
        widget.show();
        if (def.id != kNoControl) {
            controls_[def.id] = &widget;
        }
        if (made.focus != nullptr) {
            made.focus->set_can_focus(def.tabStop);
            if (def.tabStop) {
                tabStops_.push_back(made.focus);
            }
        }
        if (def.kind == ControlKind::DefaultPushButton) {
            set_default(widget);
        }
    }
}

Gtk::Widget* ControlWindow::control(int32_t id) {
    auto found = controls_.find(id);
    return found == controls_.end() ? nullptr : found->second;
}

void ControlWindow::placeControl(int32_t id, const Rect& rect) {
    Gtk::Widget* widget = control(id);
    if (widget == nullptr || widget->get_parent() != &area_) {
        return;
    }
    bool dropDown = dynamic_cast<Gtk::ComboBox*>(widget) != nullptr;
    widget->set_size_request(rect.width, dropDown ? -1 : rect.height);
    area_.move(*widget, rect.left, rect.top);
    widget->queue_draw();
}

void ControlWindow::setOptionChecked(int32_t id, bool checked) {
    auto* radio = dynamic_cast<Gtk::RadioButton*>(control(id));
    if (radio == nullptr) {
        return;
    }
    programChange_ = true;
    if (checked) {
        radio->set_active(true);
    } else if (radio->get_active() && noOption_) {
        noOption_->set_active(true);
    }
    programChange_ = false;
}

bool ControlWindow::optionChecked(int32_t id) {
    auto* radio = dynamic_cast<Gtk::RadioButton*>(control(id));
    return radio != nullptr && radio->get_active();
}

void ControlWindow::moveFocus(bool forward) {
    std::vector<Gtk::Widget*> stops;
    for (Gtk::Widget* stop : tabStops_) {
        if (stop->is_sensitive() && stop->is_visible() && stop->get_mapped()) {
            stops.push_back(stop);
        }
    }
    Gtk::Widget* focus = get_focus();
    auto current = std::find_if(stops.begin(), stops.end(), [focus](Gtk::Widget* stop) {
        return focus != nullptr && (focus == stop || focus->is_ancestor(*stop));
    });
    const int32_t next = nextTabStop(
        static_cast<int32_t>(stops.size()),
        current == stops.end() ? -1 : static_cast<int32_t>(current - stops.begin()), forward);
    if (next >= 0) {
        stops[static_cast<size_t>(next)]->grab_focus();
    }
}

bool ControlWindow::onKeyPress(GdkEventKey* event) {
    if (!inputArea().get_sensitive()) {
        return false;
    }
    auto modifiers = event->state & gtk_accelerator_get_default_mod_mask();
    if (event->keyval == GDK_KEY_Tab && modifiers == 0) {
        moveFocus(true);
        return true;
    }
    if (event->keyval == GDK_KEY_ISO_Left_Tab ||
        (event->keyval == GDK_KEY_Tab && modifiers == GDK_SHIFT_MASK)) {
        moveFocus(false);
        return true;
    }
    if (event->keyval == GDK_KEY_F1 && modifiers == 0 && helpCommand_ >= 0) {
        router_.menuCommand(helpCommand_);
        return true;
    }
    return false;
}

DialogWindow::DialogWindow(int32_t id, EventRouter& router, Gtk::Window& owner,
                           std::string_view title, const Rect& frame, Size decorations)
    : ControlWindow(id, router) {
    set_title(utf8(title));
    set_transient_for(owner);
    set_type_hint(Gdk::WINDOW_TYPE_HINT_DIALOG);
    set_deletable(false);
    set_resizable(false);
    set_skip_pager_hint(true);
    add(area_);
    area_.set_size_request(std::max(frame.width - decorations.width, 1),
                           std::max(frame.height - decorations.height, 1));
    move(frame.left, frame.top);
}

void DialogWindow::makeToolWindow(Size client) {
    int left = 0;
    int top = 0;
    get_position(left, top);
    set_skip_taskbar_hint(true);
    area_.set_size_request(client.width, client.height);
    resize(client.width, client.height);
    move(left, top);
}

}  // namespace vistrelle::gtk
