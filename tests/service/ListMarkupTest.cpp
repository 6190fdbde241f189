#include "ListMarkup.h"

#include <gtest/gtest.h>

namespace {

struct AcceptCase {
    const char* accept;
    ListMarkup markup;
};

std::ostream& operator<<(std::ostream& out, const AcceptCase& c)
{
    return out << '"' << c.accept << '"';
}

class ChoosingTheMarkup : public testing::TestWithParam<AcceptCase> {};

TEST_P(ChoosingTheMarkup, FromTheAcceptField)
{
    EXPECT_EQ(chooseListMarkup(GetParam().accept), GetParam().markup);
}

INSTANTIATE_TEST_SUITE_P(
    ListMarkup, ChoosingTheMarkup,
    testing::Values(
        // A WAP 1.x browser behind its gateway.
        AcceptCase{"text/vnd.wap.wml", ListMarkup::Wml},
        AcceptCase{"application/vnd.wap.wmlc, text/vnd.wap.wml, image/vnd.wap.wbmp", ListMarkup::Wml},
        // WAP 2.0 browsers: XHTML named before HTML, or HTML before it.
        AcceptCase{"application/vnd.wap.xhtml+xml, text/html, text/vnd.wap.wml, */*", ListMarkup::XhtmlMobile},
        AcceptCase{"application/xhtml+xml;profile=\"http://www.wapforum.org/xhtml\", text/html",
                   ListMarkup::XhtmlMobile},
        AcceptCase{"text/html, application/vnd.wap.xhtml+xml, application/xhtml+xml, text/vnd.wap.wml, */*",
                   ListMarkup::Html},
        // Quality values come before the order.
        AcceptCase{"text/html;q=0.5, text/vnd.wap.wml", ListMarkup::Wml},
        AcceptCase{"text/vnd.wap.wml;q=0.8, application/vnd.wap.xhtml+xml;q=0.9, text/html;q=0.7",
                   ListMarkup::XhtmlMobile},
        AcceptCase{"text/vnd.wap.wml; level=1 ; Q=0.3, text/html;q=0.4", ListMarkup::Html},
        // A named type before one a wildcard matches at the same quality.
        AcceptCase{"*/*, text/vnd.wap.wml", ListMarkup::Wml},
        AcceptCase{"text/*, application/xhtml+xml", ListMarkup::XhtmlMobile},
        // The most specific range gives a type its value.
        AcceptCase{"text/html;q=0, */*", ListMarkup::XhtmlMobile},
        AcceptCase{"text/*;q=0.1, text/vnd.wap.wml;q=0.9, text/html;q=0.2", ListMarkup::Wml},
        // Nothing to choose by: HTML.
        AcceptCase{"", ListMarkup::Html}, AcceptCase{"*/*", ListMarkup::Html},
        AcceptCase{"image/png, audio/midi", ListMarkup::Html}, AcceptCase{"text/vnd.wap.wml;q=0", ListMarkup::Html},
        // Malformed elements are passed over; what remains still counts.
        AcceptCase{"garbage", ListMarkup::Html}, AcceptCase{",,;;, /, text/", ListMarkup::Html},
        AcceptCase{"text/vnd.wap.wml;q=high", ListMarkup::Html},
        AcceptCase{"text/vnd.wap.wml;q=1.5", ListMarkup::Html},
        AcceptCase{"text/vnd.wap.wml;q=-1, text/html;q=0.1", ListMarkup::Html},
        AcceptCase{"TEXT/VND.WAP.WML", ListMarkup::Wml},
        AcceptCase{"nonsense;;q=, text/vnd.wap.wml", ListMarkup::Wml}));

TEST(ListMarkup, EachGoesOutUnderItsOwnType)
{
    EXPECT_EQ(mimeTypeOf(ListMarkup::Html), "text/html");
    EXPECT_EQ(mimeTypeOf(ListMarkup::XhtmlMobile), "application/vnd.wap.xhtml+xml");
    EXPECT_EQ(mimeTypeOf(ListMarkup::Wml), "text/vnd.wap.wml");
}

} // namespace
