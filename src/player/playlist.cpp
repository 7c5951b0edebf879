#include "player/playlist.h"

namespace vistrelle {

Playlist readPlaylist(std::string_view, std::string_view) {
    return {};
}

std::string resolveAddress(std::string_view, std::string_view) {
    return {};
}

bool isPlayableAddress(std::string_view) {
    return false;
}

std::vector<std::string> playableAddresses(std::string_view) {
    return {};
}

}  // namespace vistrelle
