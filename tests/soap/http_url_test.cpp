#include <gtest/gtest.h>

#include <string>

#include "soap/url.h"

namespace torvane::soap {
namespace {

TEST(UrlParse, ServiceFormGivesEveryField) {
  Url url;
  ASSERT_TRUE(ParseUrl("http://10.1.2.3:8080/WebDeduRazivor/services/DeduRazivor?wsdl#top", url));
  EXPECT_EQ(url.scheme_name, "http");
  EXPECT_EQ(url.scheme_number, kSchemeHttp);
  EXPECT_EQ(url.host_name, "10.1.2.3");
  EXPECT_EQ(url.port, 8080);
  EXPECT_EQ(url.path, "/WebDeduRazivor/services/DeduRazivor");
  EXPECT_EQ(url.extra_info, "?wsdl#top");
  EXPECT_TRUE(url.user_name.empty());
  EXPECT_TRUE(url.password.empty());
}

TEST(UrlParse, DefaultsAndSchemeTable) {
  Url url;
  ASSERT_TRUE(ParseUrl("HTTP://server", url));
  EXPECT_EQ(url.scheme_name, "HTTP");  // kept as written, looked up without case
  EXPECT_EQ(url.scheme_number, kSchemeHttp);
  EXPECT_EQ(url.port, 80);
  EXPECT_EQ(url.path, "");
  ASSERT_TRUE(ParseUrl("https://h/", url));
  EXPECT_EQ(url.scheme_number, kSchemeHttps);
  EXPECT_EQ(url.port, 443);
  ASSERT_TRUE(ParseUrl("socks://h", url));
  EXPECT_EQ(url.port, 1080);
  ASSERT_TRUE(ParseUrl("gopher://h", url));
  EXPECT_EQ(url.port, 70);
  ASSERT_TRUE(ParseUrl("ftp://h", url));
  EXPECT_EQ(url.port, 21);
  ASSERT_TRUE(ParseUrl("webcal://h:81/x", url));
  EXPECT_EQ(url.scheme_number, kSchemeUnknown);
  EXPECT_EQ(url.port, 81);
  ASSERT_TRUE(ParseUrl("webcal://h/x", url));
  EXPECT_EQ(url.port, 0);
  ASSERT_TRUE(ParseUrl("http://h?q=1", url));
  EXPECT_EQ(url.path, "");
  EXPECT_EQ(url.extra_info, "?q=1");
}

TEST(UrlParse, UserAndPassword) {
  Url url;
  ASSERT_TRUE(ParseUrl("http://ann:secret@h:81/p", url));
  EXPECT_EQ(url.user_name, "ann");
  EXPECT_EQ(url.password, "secret");
  EXPECT_EQ(url.host_name, "h");
  EXPECT_EQ(url.port, 81);
  ASSERT_TRUE(ParseUrl("http://ann@h/p", url));
  EXPECT_EQ(url.user_name, "ann");
  EXPECT_EQ(url.password, "");
  EXPECT_FALSE(ParseUrl("http://:secret@h/p", url));  // password without a user
  EXPECT_FALSE(ParseUrl("http://a@b@h/p", url));
}

TEST(UrlParse, FieldLimitsAreInclusive) {
  Url url;
  EXPECT_TRUE(ParseUrl("http://" + std::string(256, 'h') + "/", url));
  EXPECT_FALSE(ParseUrl("http://" + std::string(257, 'h') + "/", url));
  EXPECT_TRUE(ParseUrl("http://" + std::string(128, 'u') + ":" + std::string(128, 'p') + "@h/", url));
  EXPECT_FALSE(ParseUrl("http://" + std::string(129, 'u') + "@h/", url));
  EXPECT_FALSE(ParseUrl("http://u:" + std::string(129, 'p') + "@h/", url));
  EXPECT_TRUE(ParseUrl("http://h/" + std::string(2047, 'x'), url));
  EXPECT_FALSE(ParseUrl("http://h/" + std::string(2048, 'x'), url));
  EXPECT_TRUE(ParseUrl("http://h/?" + std::string(2047, 'q'), url));
  EXPECT_FALSE(ParseUrl("http://h/?" + std::string(2048, 'q'), url));
  EXPECT_TRUE(ParseUrl(std::string(32, 's') + "://h", url));
  EXPECT_FALSE(ParseUrl(std::string(33, 's') + "://h", url));
}

TEST(UrlParse, FailureLeavesTheRecordCleared) {
  Url url;
  ASSERT_TRUE(ParseUrl("http://old:99/path?x", url));
  for (const char* bad : {"", "no-scheme", "://h", "1http://h", "http://h:", "http://h:65536/",
                          "http://h:8o/", "http://h /", "http://h/a\r\nX: y", "http://[::1/",
                          "mailto://a@b"}) {
    SCOPED_TRACE(bad);
    url.host_name = "stale";
    EXPECT_FALSE(ParseUrl(bad, url));
    EXPECT_EQ(url.scheme_number, kSchemeUnknown);
    EXPECT_EQ(url.port, 0);
    EXPECT_TRUE(url.host_name.empty() && url.path.empty() && url.extra_info.empty() && url.scheme_name.empty());
  }
}

TEST(UrlParse, RareForms) {
  Url url;
  ASSERT_TRUE(ParseUrl("mailto:ann@example.org", url));
  EXPECT_EQ(url.scheme_number, kSchemeMailto);
  EXPECT_EQ(url.user_name, "ann");
  EXPECT_EQ(url.host_name, "example.org");
  ASSERT_TRUE(ParseUrl("file:///C:/dir/a.txt", url));
  EXPECT_EQ(url.scheme_number, kSchemeFile);
  EXPECT_EQ(url.host_name, "");
  EXPECT_EQ(url.path, "///C:/dir/a.txt");
  ASSERT_TRUE(ParseUrl("http://[::1]:8080/x", url));
  EXPECT_EQ(url.host_name, "[::1]");
  EXPECT_EQ(url.port, 8080);
  ASSERT_TRUE(ParseUrl("http:///only-path", url));
  EXPECT_EQ(url.host_name, "");
}

TEST(UrlResolve, RedirectTargets) {
  Url base;
  ASSERT_TRUE(ParseUrl("http://h:81/a/b/c?q", base));
  Url out;
  ASSERT_TRUE(ResolveUrl(base, "http://other/x?y", out));
  EXPECT_EQ(out.host_name, "other");
  EXPECT_EQ(out.port, 80);
  EXPECT_EQ(out.path, "/x");
  EXPECT_EQ(out.extra_info, "?y");
  ASSERT_TRUE(ResolveUrl(base, "/root?z", out));
  EXPECT_EQ(out.host_name, "h");
  EXPECT_EQ(out.port, 81);
  EXPECT_EQ(out.path, "/root");
  EXPECT_EQ(out.extra_info, "?z");
  ASSERT_TRUE(ResolveUrl(base, "d/e", out));
  EXPECT_EQ(out.path, "/a/b/d/e");
  EXPECT_EQ(out.extra_info, "");
  ASSERT_TRUE(ResolveUrl(base, "?only", out));
  EXPECT_EQ(out.path, "/a/b/c");
  EXPECT_EQ(out.extra_info, "?only");
  ASSERT_TRUE(ResolveUrl(base, "//third:90/t", out));
  EXPECT_EQ(out.scheme_number, kSchemeHttp);
  EXPECT_EQ(out.host_name, "third");
  EXPECT_EQ(out.port, 90);
  EXPECT_FALSE(ResolveUrl(base, "/bad path", out));
  EXPECT_FALSE(ResolveUrl(base, "/" + std::string(2048, 'x'), out));
  EXPECT_TRUE(out.host_name.empty());
}

// Redirects are followed only within the configured server.
TEST(UrlResolve, SameOriginIsSchemeHostAndPort) {
  Url base;
  ASSERT_TRUE(ParseUrl("http://Server.example:80/WebDeduRazivor/services/DeduRazivor", base));
  const auto same = [&](const char* reference) {
    Url out;
    EXPECT_TRUE(ResolveUrl(base, reference, out)) << reference;
    return SameOrigin(out, base);
  };
  EXPECT_TRUE(same("/elsewhere?x"));
  EXPECT_TRUE(same("relative"));
  EXPECT_TRUE(same("http://server.EXAMPLE/other"));  // host in any case, default port
  EXPECT_TRUE(same("//server.example:80/x"));
  EXPECT_FALSE(same("http://server.example:8080/x"));
  EXPECT_FALSE(same("http://attacker.example/x"));
  EXPECT_FALSE(same("http://server.example.attacker.example/x"));
  EXPECT_FALSE(same("https://server.example/x"));
  EXPECT_FALSE(same("ftp://server.example:80/x"));
}

}  // namespace
}  // namespace torvane::soap
