// Small directory answers written for the tests in the shapes the directories document, with
// their quirks: pipes and line breaks in names, missing countries, non-ASCII names, duplicates,
// javascript: homepages, addresses with "|" suffixes.
#pragma once

#include <string>

#include "support/loopback_server.h"

namespace vistrelle::testing {

inline const std::string kIsoCodes = R"json({"3166-1": [
 {"alpha_2": "NO", "alpha_3": "NOR", "name": "Norway", "numeric": "578"},
 {"alpha_2": "DE", "alpha_3": "DEU", "name": "Germany", "numeric": "276"},
 {"alpha_2": "KR", "alpha_3": "KOR", "common_name": "South Korea", "name": "Korea, Republic of",
  "numeric": "410"}
]})json";

inline const std::string kStations = R"json([
 {"changeuuid":"1","stationuuid":"a1","name":"Fjord FM | Hits\n","url":"http://fjord.example/hits.pls",
  "url_resolved":"http://fjord.example/hits.mp3","homepage":"javascript:alert(1)","favicon":"",
  "tags":"pop,hits,80s","country":"Norway","countrycode":"NO","state":"","language":"norwegian",
  "languagecodes":"no","votes":10,"codec":"MP3","bitrate":128,"hls":0,"lastcheckok":1,
  "clickcount":420,"clicktrend":3},
 {"name":"Seoul Jazz","url":"http://seoul.example/jazz","url_resolved":"http://seoul.example/jazz",
  "homepage":"https://seoul.example/","tags":"jazz","countrycode":"KR","language":"korean",
  "codec":"AAC","bitrate":64,"lastcheckok":1,"clickcount":77},
 {"name":"Nowhere Radio","url":"http://nowhere.example/live","url_resolved":"",
  "homepage":"","tags":"","countrycode":"","language":"","codec":"UNKNOWN","bitrate":0,
  "lastcheckok":1,"clickcount":5},
 {"name":"Fjord FM copy","url":"http://fjord.example/hits.mp3","url_resolved":"http://fjord.example/hits.mp3",
  "homepage":"","tags":"","countrycode":"NO","codec":"MP3","bitrate":128,"lastcheckok":1,"clickcount":3},
 {"name":"Broken","url":"http://broken.example/","url_resolved":"http://broken.example/",
  "countrycode":"DE","lastcheckok":0,"clickcount":1000},
 {"name":"Köln Welle","url":"http://koeln.example/a","url_resolved":"http://koeln.example/a?x=1|Icy-MetaData=1",
  "homepage":"http://koeln.example/","tags":"news , talk","countrycode":"de","language":"german",
  "codec":"MP3","bitrate":"96","lastcheckok":1,"clickcount":"12"}
])json";

inline const std::string kChannels = R"json([
 {"id":"Nyheter.no","name":"Nyheter TV","alt_names":[],"network":null,"owners":[],"country":"NO",
  "subdivision":null,"city":null,"categories":["news"],"is_nsfw":false,"launched":null,
  "closed":null,"replaced_by":null,"website":"https://nyheter.example/","logo":"x"},
 {"id":"Late.de","name":"Late","country":"DE","categories":[],"is_nsfw":true,"closed":null},
 {"id":"Gone.de","name":"Gone","country":"DE","categories":["general"],"is_nsfw":false,
  "closed":"2020-01-01"}
])json";

inline const std::string kStreams = R"json([
 {"channel":"Nyheter.no","feed":null,"url":"https://nyheter.example/live.m3u8|User-Agent=Mozilla",
  "referrer":null,"user_agent":"Mozilla","quality":"1080p","label":null},
 {"channel":"Late.de","url":"http://late.example/s.m3u8","quality":null},
 {"channel":"Gone.de","url":"http://gone.example/s.m3u8"},
 {"channel":null,"title":"Free TV","url":"http://free.example/tv.m3u8","quality":"480p","label":"Not 24/7"}
])json";

// The catalogue the samples give.
inline const std::string kSampleCatalog =
    "Germany|Köln Welle|96|News|MP3, german, "
    "talk|http://koeln.example/a?x=1|http://koeln.example/\r\n"
    "International|Free TV|0|TV|480p, Not 24/7|http://free.example/tv.m3u8|\r\n"
    "International|Nowhere Radio|0|Radio||http://nowhere.example/live|\r\n"
    "Norway|Nyheter TV|0|News|1080p|https://nyheter.example/live.m3u8|https://nyheter.example/\r\n"
    "Norway|Fjord FM   Hits|128|Pop|MP3, norwegian, hits, 80s|http://fjord.example/hits.mp3|\r\n"
    "South Korea|Seoul Jazz|64|Jazz|AAC, "
    "korean|http://seoul.example/jazz|https://seoul.example/\r\n";

// Serves the three directory samples; gives the updater.ini lines that name `server` (the TV
// directory with a final "/").
inline std::string serveSamples(LoopbackServer& server) {
    server.serve("/json/stations", {200, kStations});
    server.serve("/api/channels.json", {200, kChannels});
    server.serve("/api/streams.json", {200, kStreams});
    return "radio-directory = " + server.base() + "\ntv-directory = " + server.base() +
           "/api/\niso-codes = iso.json\n";
}

}  // namespace vistrelle::testing
