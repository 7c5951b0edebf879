#include "player/pages.h"

#include "settings/launch.h"
#include "ui/texts.h"

namespace vistrelle {

namespace {

// Pieces of the player page, in the order they are written.
constexpr std::string_view kPageBody =
    "<body bgcolor='#000000' style='overflow: hidden; margin: 0'>";
constexpr std::string_view kObjectStart = "<object id='VIDEO' width='100%' height='100%'";
constexpr std::string_view kObjectStyle = "style='position:absolute; left:0; top:0;'";
constexpr std::string_view kObjectType = "type='application/x-oleobject'>";
constexpr std::string_view kObjectEnd = "</object>";
constexpr std::string_view kBodyEnd = "</body>";

// Windows Media Player, by generation: 0 "7 and newer", 1 "6.4", 2 "Older".
constexpr std::string_view kWmpClassIds[] = {
    "classid='clsid:6BF52A52-394A-11d3-B153-00C04F79FAA6'",
    "classid='clsid:22D6F312-B0F6-11D0-94AB-0080C74C7E95'",
    "classid='clsid:05589FA1-C356-11CE-BF01-00AA0055595A'",
};
constexpr std::string_view kWmpUrlStart = "<param name='URL' value='";
constexpr std::string_view kWmpStretchToFit = "<param name='StretchToFit' value='true'>";
constexpr std::string_view kWmpUiMode = "<param name='UiMode' value='mini'>";
constexpr std::string_view kWmpFileNameStart = "<param name='FileName' value='";
constexpr std::string_view kWmpShowTracker = "<param name='ShowTracker' value='false'>";
constexpr std::string_view kWmpShowPositionControls =
    "<param name='ShowPositionControls' value='false'>";
constexpr std::string_view kWmpAutoStart = "<param name='AutoStart' value='true'>";
constexpr std::string_view kWmpEnableContextMenu = "<param name='EnableContextMenu' value='false'>";

// RealPlayer.
constexpr std::string_view kRealClassId = "classid='clsid:CFCDAA03-8BE4-11cf-B84B-0020AFBBCCFA'";
constexpr std::string_view kRealControlsAll = "<param name='controls' value='All'>";
constexpr std::string_view kRealControlPanel = "<param name='controls' value='ControlPanel'>";
constexpr std::string_view kRealAutoStart = "<param name='autostart' value='true'>";
constexpr std::string_view kRealSrcStart = "<param name='src' value='";

constexpr std::string_view kValueEnd = "'>";

// Appends `<param ... value='` + the address + `'>`.
void appendAddressParam(std::string& page, std::string_view start, std::string_view streamUrl) {
    page += start;
    page += attributeText(streamUrl);
    page += kValueEnd;
}

void appendWindowsMediaPlayer(std::string& page, std::string_view streamUrl, int8_t playerVersion) {
    if (playerVersion >= 0 && playerVersion <= 2) {
        page += kWmpClassIds[static_cast<size_t>(playerVersion)];
    }
    page += kObjectType;
    if (playerVersion == 0) {
        appendAddressParam(page, kWmpUrlStart, streamUrl);
        page += kWmpStretchToFit;
        page += kWmpUiMode;
    } else {
        appendAddressParam(page, kWmpFileNameStart, streamUrl);
        page += kWmpShowTracker;
        page += kWmpShowPositionControls;
    }
    if (playerVersion == 2) {
        page += kWmpAutoStart;
    }
    page += kWmpEnableContextMenu;
}

void appendRealPlayer(std::string& page, std::string_view streamUrl) {
    page += kRealClassId;
    page += kObjectType;
    page += kRealControlsAll;
    page += kRealControlPanel;
    page += kRealAutoStart;
    appendAddressParam(page, kRealSrcStart, streamUrl);
}

}  // namespace

std::string addressExtension(std::string_view streamUrl) {
    size_t found = streamUrl.find_last_of("./\\");
    if (found == std::string_view::npos || streamUrl[found] != '.') {
        return {};
    }
    std::string_view extension = streamUrl.substr(found + 1);
    return std::string(extension.substr(0, extension.find('"')));
}

std::string attributeText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                out += c;
                break;
        }
    }
    return out;
}

std::string welcomePage() {
    std::string page;
    page +=
        "<body bgcolor='#000000' style='overflow: hidden; margin: 0' link='#0044C1' "
        "text='#0044C1' vlink='#0044C1' alink='#0044C1'>";
    page += "<center><br><b>";
    page += "<div style='font-size: 26'>";
    page += texts::kProductName;
    page += "</div>";
    page += "<div style='font-size: 14'>";
    page += texts::kVersion;
    page += "<br><br>";
    page += "<b>";
    page += texts::kWelcomeNeedLatest;
    page += "</b><br>";
    page += "<a target='blank' href='";
    page += attributeText(kWmpDownloadAddress);
    page += "'>";
    page += texts::kWindowsMediaPlayer;
    page += "</a><br>";
    page += "<a target='blank' href='";
    page += attributeText(kRealPlayerDownloadAddress);
    page += "'>";
    page += texts::kRealPlayer;
    page += "</a><br><br>";
    page += "<a target='blank' href='";
    page += attributeText(kHomepageAddress);
    page += "'>";
    page += texts::kPublisherNotice;
    page += "</a>";
    page += "</div></b></body>";
    return page;
}

std::string playerPage(std::string_view streamUrl, int8_t playerVersion) {
    std::string page;
    page += kPageBody;
    page += kObjectStart;
    page += kObjectStyle;
    std::string extension = addressExtension(streamUrl);
    if (extension == "asx" || extension == "m3u") {
        appendWindowsMediaPlayer(page, streamUrl, playerVersion);
    } else if (extension == "ram") {
        appendRealPlayer(page, streamUrl);
    }
    page += kObjectEnd;
    page += kBodyEnd;
    return page;
}

}  // namespace vistrelle
