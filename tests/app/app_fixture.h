// The program over the in-memory window layer, inside a sandbox folder.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "app/app.h"
#include "fake/memory_layer.h"
#include "fake/sandbox.h"
#include "ui/ids.h"

namespace vistrelle::testing {

// Three channels in two countries; the second has no homepage.
inline constexpr std::string_view kSampleChannels =
    "Norway|NRK P1|128|News|Talk radio|http://radio.example/p1.asx|http://nrk.example/\r\n"
    "Norway|NRK P2|64|Culture||http://radio.example/p2.m3u|\r\n"
    "Sweden|SR P1|96|News|Swedish|http://radio.example/sr.ram|www.sr.example\r\n";

class AppTest : public SandboxTest {
protected:
    // Starts the program with kSampleChannels (nothing else in the folder), then forgets what
    // the start-up asked of the layer so that a test sees only its own effects.
    void startWithSamples() {
        sandbox.write("channels.dat", kSampleChannels);
        ASSERT_TRUE(app.startUp());
        forgetCalls();
    }

    void forgetCalls() {
        ui.calls.clear();
        ui.messages.clear();
        ui.placements.clear();
        launches.started.clear();
        launches.opened.clear();
        launches.helpShown.clear();
        ui.web.log.clear();
    }

    // Chooses a country selector item as the user would, and lets the program see it.
    void selectCountry(int32_t index) {
        ui.selector.select(index);
        app.dispatchControlEvent(kCountrySelector, ControlAction::Used);
    }

    std::vector<std::string> shownNames() const {
        std::vector<std::string> names;
        for (const Channel& channel : app.catalog.shownChannels) {
            names.emplace_back(channel.name());
        }
        return names;
    }

    std::vector<std::string> favoriteNames() const {
        std::vector<std::string> names;
        for (const Channel& channel : app.catalog.favoriteChannels) {
            names.emplace_back(channel.name());
        }
        return names;
    }

    MemoryLayer layer;
    MemoryWindows& ui = layer.ui();
    MemoryEvents& pump = layer.pump();
    MemoryLauncher& launches = layer.launches();
    MemoryFaults& faultHook = layer.faultHook();
    App app{layer};
};

}  // namespace vistrelle::testing
