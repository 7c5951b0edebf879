#include "test_media.h"

#include <glib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace vistrelle::gtk::testing {

namespace {

bool run(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

}  // namespace

const std::string& testMediaFolder() {
    static const std::string folder = [] {
        gchar* made = g_dir_make_tmp("vistrelle-media-XXXXXX", nullptr);
        if (made == nullptr) {
            return std::string();
        }
        const std::string dir = made;
        g_free(made);
        const std::string tone = "audiotestsrc num-buffers=430 ! audio/x-raw,rate=44100,channels=2";
        const std::string video =
            "videotestsrc num-buffers=250 ! video/x-raw,width=160,height=120,framerate=25/1";
        const std::string launch = "gst-launch-1.0 -q -e ";
        bool ok =
            run(launch + tone + " ! vorbisenc ! oggmux ! filesink location=" + dir + "/tone.ogg") &&
            run(launch + tone + " ! lamemp3enc ! filesink location=" + dir + "/tone.mp3") &&
            run(launch + video + " ! vp8enc deadline=1 ! webmmux ! filesink location=" + dir +
                "/clip.webm") &&
            run("mkdir -p " + dir + "/hls") &&
            run(launch + "mpegtsmux name=m ! hlssink location=" + dir +
                "/hls/seg%05d.ts playlist-location=" + dir +
                "/hls/index.m3u8 target-duration=2 playlist-length=0 max-files=0 " + video +
                " ! x264enc key-int-max=25 speed-preset=ultrafast tune=zerolatency ! "
                "h264parse ! m. " +
                tone + " ! avenc_aac ! aacparse ! m.");
        // The folder goes with the process.
        static const std::string* made_ = new std::string(dir);
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(*made_, ignored);
        });
        return ok ? dir : std::string();
    }();
    return folder;
}

const std::string& toneMp3() {
    static const std::string bytes = [] {
        std::ifstream in(testMediaFolder() + "/tone.mp3", std::ios::binary);
        std::ostringstream out;
        out << in.rdbuf();
        return out.str();
    }();
    return bytes;
}

}  // namespace vistrelle::gtk::testing
