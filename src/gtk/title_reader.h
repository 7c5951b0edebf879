// The side connection that reads an internet radio's song titles: it asks the server for them
// ("Icy-MetaData: 1") and hands its plan the head and then every chunk it reads, for as long as
// the plan wants them. Nothing is kept here: the plan holds at most one metadata block.
#pragma once

#include <libsoup/soup.h>

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "ui/stream_plan.h"

namespace vistrelle::gtk {

class TitleReader {
public:
    // Each returns whether to go on reading. `Bytes` gets an empty chunk when the connection
    // ended.
    using Head = std::function<bool(const FetchResult& head)>;
    using Bytes = std::function<bool(std::string_view chunk)>;

    TitleReader();
    TitleReader(const TitleReader&) = delete;
    TitleReader& operator=(const TitleReader&) = delete;
    ~TitleReader();

    // Opens the connection to `url`, closing one still open. No head within the fetch time
    // limit counts as no answer.
    void open(const std::string& url, const StreamLimits& limits, const StreamHeaders& headers,
              Head head, Bytes bytes);
    void close();
    // Whether a connection to `url` is open.
    bool reading(const std::string& url) const;
    bool active() const;

    struct Connection;

private:
    SoupSession* session_ = nullptr;
    std::shared_ptr<Connection> connection_;
};

}  // namespace vistrelle::gtk
