// The media the stream tests and the benchmark play, made at run time by gst-launch-1.0.
#pragma once

#include <string>

#include "support/loopback_server.h"

namespace vistrelle::gtk::testing {

// Makes tone.ogg, tone.mp3, clip.webm and hls/index.m3u8 (with its segments) once per process in
// a temporary folder that goes with the process; the folder, or empty on failure.
const std::string& testMediaFolder();

// The bytes of tone.mp3.
const std::string& toneMp3();

}  // namespace vistrelle::gtk::testing
