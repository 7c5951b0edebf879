// The media the stream tests and the benchmark play, made at run time by gst-launch-1.0, and a
// live station made of it.
#pragma once

#include <string>

#include "support/loopback_server.h"

namespace vistrelle::gtk::testing {

// Makes tone.ogg, tone.mp3, clip.webm and hls/index.m3u8 (with its segments) once per process in
// a temporary folder that goes with the process; the folder, or empty on failure.
const std::string& testMediaFolder();

// The bytes of tone.mp3.
const std::string& toneMp3();

// A live station's answer: "ICY 200 OK" and the MP3 tone over and over, with
// "StreamTitle='<title>';" every 8 KB when the request asks for metadata (Icy-MetaData: 1).
vistrelle::testing::Response icyStation(const vistrelle::testing::Request& request,
                                        const std::string& title = "Test tone");

}  // namespace vistrelle::gtk::testing
