#include "GameListMarkup.h"

#include "HtmlListMarkup.h"
#include "WmlListMarkup.h"

const GameListMarkup& markupWriter(ListMarkup markup)
{
    static const HtmlListMarkup html(false);
    static const HtmlListMarkup xhtmlMobile(true);
    static const WmlListMarkup wml;
    switch (markup) {
    case ListMarkup::XhtmlMobile:
        return xhtmlMobile;
    case ListMarkup::Wml:
        return wml;
    case ListMarkup::Html:
        break;
    }
    return html;
}
