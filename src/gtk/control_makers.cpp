#include "gtk/control_makers.h"

#include <gtkmm/button.h>
#include <gtkmm/eventbox.h>
#include <gtkmm/frame.h>
#include <gtkmm/label.h>
#include <gtkmm/separator.h>
#include <pangomm/attrlist.h>

#include <array>

#include "gtk/event_pump.h"
#include "ui/display_text.h"
#include "ui/ids.h"

namespace vistrelle::gtk {

namespace {

Glib::ustring utf8(std::string_view text) {
    return displayText(text);
}

// Keeps `widget` with the window and makes it what the window places and focuses.
template <typename Widget>
MadeControl keep(const ControlMaking& making, std::unique_ptr<Widget> widget) {
    Widget* made = widget.get();
    making.owned.push_back(std::move(widget));
    return {made, made};
}

MadeControl makeButton(const ControlMaking& making) {
    const ControlDef& def = making.def;
    auto button = std::make_unique<Gtk::Button>(utf8(def.caption));
    if (def.id != kNoControl) {
        button->signal_clicked().connect([&router = making.router, control = def.id] {
            router.controlEvent(control, ControlAction::Used);
        });
    }
    button->get_accessible()->set_name(
        utf8(def.accessibleName.empty() ? def.caption : def.accessibleName));
    if (def.kind == ControlKind::DefaultPushButton) {
        button->set_can_default(true);
        button->get_style_context()->add_class("default");
    }
    return keep(making, std::move(button));
}

MadeControl makeWebView(const ControlMaking& making) {
    if (making.layer == nullptr) {
        return {};
    }
    return {&making.layer->webView, nullptr};
}

MadeControl makeDropDownList(const ControlMaking& making) {
    if (making.layer == nullptr) {
        return {};
    }
    return {&making.layer->countrySelector, &making.layer->countrySelector};
}

MadeControl makeListView(const ControlMaking& making) {
    if (making.layer == nullptr) {
        return {};
    }
    return {&making.layer->channelList, &making.layer->channelListFocus};
}

MadeControl makeGroupBox(const ControlMaking& making) {
    auto frame = std::make_unique<Gtk::Frame>(utf8(making.def.caption));
    frame->set_shadow_type(Gtk::SHADOW_ETCHED_IN);
    return keep(making, std::move(frame));
}

std::unique_ptr<Gtk::Label> wrappingLabel(const ControlDef& def) {
    auto label = std::make_unique<Gtk::Label>(utf8(def.caption));
    label->set_line_wrap(true);
    label->set_line_wrap_mode(Pango::WRAP_WORD_CHAR);
    label->set_yalign(0.0f);
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
    return label;
}

MadeControl makeStaticText(const ControlMaking& making) {
    auto label = wrappingLabel(making.def);
    label->set_xalign(0.0f);
    // Long explanations wrap within a small fixed rectangle.
    label->get_style_context()->add_class("vistrelle-static");
    return keep(making, std::move(label));
}

MadeControl makeCentredText(const ControlMaking& making) {
    auto label = wrappingLabel(making.def);
    label->set_justify(Gtk::JUSTIFY_CENTER);
    label->set_xalign(0.5f);
    return keep(making, std::move(label));
}

MadeControl makeRadioButton(const ControlMaking& making) {
    const ControlDef& def = making.def;
    OptionGroup& options = making.options;
    if (def.groupStart || !options.none) {
        options.group = Gtk::RadioButton::Group();
        options.none = std::make_unique<Gtk::RadioButton>(options.group, "");
    }
    auto radio = std::make_unique<Gtk::RadioButton>(options.group, utf8(def.caption));
    if (def.id != kNoControl) {
        radio->signal_toggled().connect(
            [&router = making.router, &options, control = def.id, button = radio.get()] {
                if (!options.programChange && button->get_active()) {
                    router.controlEvent(control, ControlAction::Used);
                }
            });
    }
    // A new option starts unchecked.
    options.programChange = true;
    options.none->set_active(true);
    options.programChange = false;
    return keep(making, std::move(radio));
}

MadeControl makePanel(const ControlMaking& making) {
    auto box = std::make_unique<Gtk::EventBox>();
    auto inner = std::make_unique<Gtk::Fixed>();
    box->add(*inner);
    inner->show();
    if (making.def.whiteBackground) {
        box->get_style_context()->add_class("vistrelle-white");
        box->signal_draw().connect(
            [](const Cairo::RefPtr<Cairo::Context>& cairo) {
                cairo->set_source_rgb(1.0, 1.0, 1.0);
                cairo->paint();
                return false;
            },
            false);
    }
    Gtk::Fixed* container = inner.get();
    making.owned.push_back(std::move(inner));
    MadeControl made = keep(making, std::move(box));
    made.container = container;
    return made;
}

MadeControl makeSeparator(const ControlMaking& making) {
    auto line = std::make_unique<Gtk::Separator>(Gtk::ORIENTATION_HORIZONTAL);
    line->get_style_context()->add_class("vistrelle-edge");
    return keep(making, std::move(line));
}

struct Maker {
    ControlKind kind;
    MadeControl (*make)(const ControlMaking&);
};

// In the order of ControlKind.
constexpr std::array kMakers{
    Maker{ControlKind::WebView, makeWebView},
    Maker{ControlKind::PushButton, makeButton},
    Maker{ControlKind::DefaultPushButton, makeButton},
    Maker{ControlKind::DropDownList, makeDropDownList},
    Maker{ControlKind::ListView, makeListView},
    Maker{ControlKind::GroupBox, makeGroupBox},
    Maker{ControlKind::StaticText, makeStaticText},
    Maker{ControlKind::CentredText, makeCentredText},
    Maker{ControlKind::RadioButton, makeRadioButton},
    Maker{ControlKind::Panel, makePanel},
    Maker{ControlKind::Separator, makeSeparator},
};

constexpr bool makersInOrder() {
    for (size_t at = 0; at < kMakers.size(); ++at) {
        if (static_cast<size_t>(kMakers[at].kind) != at) {
            return false;
        }
    }
    return true;
}
static_assert(makersInOrder(), "one maker per ControlKind, in its order");

}  // namespace

MadeControl makeControl(const ControlMaking& making) {
    return kMakers[static_cast<size_t>(making.def.kind)].make(making);
}

}  // namespace vistrelle::gtk
