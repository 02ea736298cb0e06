#include "webtime/web_time.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "runtime/base/error.h"
#include "runtime/datetime/form_builder.h"
#include "testing/loopback_server.h"
#include "testing/proxy_environment.h"

namespace horalux {
namespace {

using testing::LoopbackServer;
using testing::ReceivedRequest;
using testing::Reply;
using namespace std::chrono;
using namespace std::chrono_literals;

const HttpRequestOptions kTestOptions{5s, 10s, {}};

// The servers are on 127.0.0.1; a proxy set for the machine must not come between.
class GetWebTimeTest : public ::testing::Test {
 private:
  testing::ScopedEnvironment no_proxies_{testing::WithoutProxies()};
};

TEST(WebTimeFromDateHeader, ShiftsTheHeaderEightHoursAhead) {
  struct Case {
    const char* header;
    const char* expected;
  };
  const std::vector<Case> cases = {
      {"Sun, 06 Nov 1994 08:49:37 GMT", "1994-11-06 16:49:37"},
      {"Sun, 06 Nov 1994 15:59:59 GMT", "1994-11-06 23:59:59"},
      {"Sun, 06 Nov 1994 16:00:00 GMT", "1994-11-07 00:00:00"},
      {"Fri, 31 Dec 1999 20:00:00 GMT", "2000-01-01 04:00:00"},
      {"Mon, 28 Feb 2000 23:30:00 GMT", "2000-02-29 07:30:00"},
      {"Fri, 31 Dec 9999 15:59:59 GMT", "9999-12-31 23:59:59"},
      {"Sat, 30 Dec 1899 00:00:00 GMT", "1899-12-30 08:00:00"},
      // Before 1899-12-30 the date-time value is negative.
      {"Fri, 29 Dec 1899 06:00:00 GMT", "1899-12-29 14:00:00"},
      {"Fri, 29 Dec 1899 20:00:00 GMT", "1899-12-30 04:00:00"},
      {"Mon, 01 Jan 0100 00:00:00 GMT", "0100-01-01 08:00:00"},
      // Nothing after the seconds is looked at, nor is the weekday checked.
      {"Sun, 06 Nov 1994 08:49:37", "1994-11-06 16:49:37"},
      {"Xyz, 06 Nov 1994 08:49:37 +0000", "1994-11-06 16:49:37"},
      // A one-digit day shifts the window by one character; it still reads as a date.
      {"Sun, 6 Nov 1994 08:49:37 GMT", "1994-11-06 16:49:37"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.header);
    EXPECT_EQ(WebTimeFromDateHeader(c.header, IsoTextForms()), c.expected);
  }
}

TEST(WebTimeFromDateHeader, RaisesForWhatIsNotADateOrOutOfRange) {
  struct Case {
    std::string header;
    ErrorKind kind;
  };
  const std::vector<Case> cases = {
      {"", ErrorKind::kTypeMismatch},
      {"Sun,", ErrorKind::kTypeMismatch},
      {"garbage that is long enough to fill the window", ErrorKind::kTypeMismatch},
      {"Sunday, 06-Nov-94 08:49:37 GMT", ErrorKind::kTypeMismatch},
      {"Sun Nov  6 08:49:37 1994", ErrorKind::kTypeMismatch},
      {"Sun, 31 Feb 1994 08:49:37 GMT", ErrorKind::kTypeMismatch},
      {std::string(8192, '7'), ErrorKind::kTypeMismatch},
      {"Fri, 31 Dec 9999 16:00:00 GMT", ErrorKind::kOverflow},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.header.substr(0, 40));
    try {
      WebTimeFromDateHeader(c.header, IsoTextForms());
      ADD_FAILURE() << "no error";
    } catch (const Error& error) {
      EXPECT_EQ(error.kind(), c.kind) << error.what();
    }
  }
}

TEST(WebTimeFromDateHeader, UnreadableHeaderMessageNamesTheHeaderAndTheWayOut) {
  const auto message_for = [](std::string_view header) {
    try {
      WebTimeFromDateHeader(header, IsoTextForms());
    } catch (const Error& error) {
      return std::string(error.what());
    }
    return std::string("no error");
  };
  const std::string missing = message_for("");
  EXPECT_NE(missing.find("没有 Date 头"), std::string::npos) << missing;
  EXPECT_NE(missing.find("请换一个网站"), std::string::npos) << missing;

  const std::string odd = message_for("Sunday, 06-Nov-94 08:49:37 GMT");
  EXPECT_NE(odd.find("“Sunday, 06-Nov-94 08:49:37 GMT”"), std::string::npos) << odd;
  EXPECT_NE(odd.find("请换一个网站"), std::string::npos) << odd;
}

TEST(ShiftToUtcPlus8, IsExactlyEightHoursAcrossTheWholeRange) {
  // Moments on both sides of 1899-12-30, at times of day that cross midnight and that do not.
  const std::vector<local_days> days = {
      local_days{year{100} / January / 1},    local_days{year{1000} / June / 15},
      local_days{year{1899} / December / 28}, local_days{year{1899} / December / 29},
      local_days{year{1899} / December / 30}, local_days{year{1899} / December / 31},
      local_days{year{1900} / February / 28}, local_days{year{2024} / February / 29},
      local_days{year{9999} / December / 30}, local_days{year{9999} / December / 31},
  };
  const std::vector<seconds> times = {
      0s, 1s, 6h, 8h, 12h, 15h + 59min + 59s, 16h, 20h, 23h + 59min + 59s};
  const local_seconds last{local_days{year{9999} / December / 31} + 23h + 59min + 59s};
  for (const local_days day : days) {
    for (const seconds time : times) {
      const local_seconds moment = day + time;
      if (moment + 8h > last) continue;
      SCOPED_TRACE(moment.time_since_epoch().count());
      const OleDate shifted = ShiftToUtcPlus8(OleDate::FromLocalSeconds(moment));
      EXPECT_EQ(shifted.ToLocalSeconds(), moment + 8h);
    }
  }
}

TEST_F(GetWebTimeTest, ReadsTheDateOfTheServersResponse) {
  struct Case {
    const char* description;
    Reply reply;
    const char* expected;
  };
  const char* date_line = "Date: Sun, 06 Nov 1994 08:49:37 GMT";
  const std::vector<Case> cases = {
      {"a 200", Reply::Response(200, {date_line}), "1994-11-06 16:49:37"},
      {"a 405 refusing the POST", Reply::Response(405, {date_line}), "1994-11-06 16:49:37"},
      {"a 500", Reply::Response(500, {date_line}), "1994-11-06 16:49:37"},
      {"a name in lower case", Reply::Response(200, {"date: Sun, 06 Nov 1994 08:49:37 GMT"}),
       "1994-11-06 16:49:37"},
      {"a one-digit day", Reply::Response(200, {"Date: Sun, 6 Nov 1994 08:49:37 GMT"}),
       "1994-11-06 16:49:37"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.description);
    LoopbackServer server([&](const ReceivedRequest&) { return c.reply; });
    EXPECT_EQ(GetWebTime(server.Url(), IsoTextForms(), kTestOptions), c.expected);
  }
}

TEST_F(GetWebTimeTest, FollowsARedirectToTheDateOfTheFinalResponse) {
  LoopbackServer server([](const ReceivedRequest& request) {
    if (request.target == "/old") {
      return Reply::Response(302, {"Date: Sat, 01 Jan 2000 00:00:00 GMT", "Location: /new"});
    }
    return Reply::Response(200, {"Date: Sun, 06 Nov 1994 08:49:37 GMT"});
  });
  EXPECT_EQ(GetWebTime(server.Url("/old"), IsoTextForms(), kTestOptions), "1994-11-06 16:49:37");
}

TEST_F(GetWebTimeTest, RaisesTypeMismatchWithoutAUsableDate) {
  for (const std::string& date_line : {std::string("Server: no date"), std::string("Date: garbage"),
                                       "Date: " + std::string(8192, 'x')}) {
    SCOPED_TRACE(date_line.substr(0, 40));
    LoopbackServer server(
        [&](const ReceivedRequest&) { return Reply::Response(200, {date_line}); });
    try {
      GetWebTime(server.Url(), IsoTextForms(), kTestOptions);
      ADD_FAILURE() << "no error";
    } catch (const Error& error) {
      EXPECT_EQ(error.kind(), ErrorKind::kTypeMismatch) << error.what();
    }
  }
}

TEST_F(GetWebTimeTest, MakesOneFreshRequestPerCall) {
  int answered = 0;
  LoopbackServer server([&](const ReceivedRequest&) {
    ++answered;
    return Reply::Response(200,
                           {"Date: Sun, 06 Nov 1994 0" + std::to_string(answered) + ":00:00 GMT"});
  });
  EXPECT_EQ(GetWebTime(server.Url(), IsoTextForms(), kTestOptions), "1994-11-06 09:00:00");
  EXPECT_EQ(GetWebTime(server.Url(), IsoTextForms(), kTestOptions), "1994-11-06 10:00:00");

  const std::vector<ReceivedRequest> requests = server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  for (const ReceivedRequest& request : requests) {
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.body, "");
    EXPECT_EQ(request.Header("Content-Length"), "0");
  }
}

TEST_F(GetWebTimeTest, PassesOnTheRequestsErrors) {
  LoopbackServer silent([](const ReceivedRequest&) { return Reply::Silence(); });
  try {
    GetWebTime(silent.Url(), IsoTextForms(), HttpRequestOptions{300ms, 300ms, {}});
    ADD_FAILURE() << "no error";
  } catch (const Error& error) {
    EXPECT_EQ(error.kind(), ErrorKind::kTimeout) << error.what();
  }
  EXPECT_THROW(GetWebTime("ftp://127.0.0.1/", IsoTextForms()), Error);
}

}  // namespace
}  // namespace horalux
