// The two patterns that picture discovery runs over a post page, through RegexObject,
// with the discovery's own order: picture tags first, JSON records only without tags.
// The markup here is written out by hand, as the site writes it, so the program's
// pattern constants are checked against pages and not against copies of themselves.
#include "app/PictureDiscovery.h"
#include "app/runtime/TextList.h"
#include "regex/RegexObject.h"

#include <gtest/gtest.h>

namespace {

Text PictureTag(TextView address, TextView title = "\xCD\xBC") {  // "图"
    return R"(<img class="if_error_show" onerror="this.onerror=null;this.style.display='none';"  src=")" +
           Text(address) + R"(!weblarge" title=")" + Text(title) + R"(" alt="pic" />)";
}

Text PictureRecord(TextView address) {
    return R"({"image":")" + Text(address) + R"(","imageHeight":800,"imageWidth":1200})";
}

TextList FindPictures(TextView page) {
    RegexObject regex;
    InitialiseRegex(regex);
    regex.CompileAndExecute(HtmlPicturePattern, page);
    if (regex.MatchCount() == 0) regex.CompileAndExecute(JsonPicturePattern, page);
    TextList found;
    for (std::int32_t i = 1, n = regex.MatchCount(); i <= n; ++i) {
        found.Append("https:" + regex.SubMatchText(i, 1));
    }
    regex.Destroy();
    return found;
}

Text Joined(const TextList& list) {
    Text all;
    for (const Text& item : list) all += item + "\n";
    return all;
}

TEST(PicturePatterns, FindThePostsPicturesInPageOrder) {
    const Text records = "<script>var post = {\"images\":[" + PictureRecord("//cdn.example/j1.jpg") + "," +
                         PictureRecord("https://cdn.example/j2.jpg") + "]};</script>\n";
    struct Case {
        const char* what;
        Text page;
        TextList expected;
    } cases[] = {
        {"picture tags, a repeated one kept",
         "<html><body>\n<div>" + PictureTag("//img.example/a/1.jpg") + "</div>\n<p>\xD6\xD0\xCE\xC4</p>\n" +
             PictureTag("//img.example/a/2.jpg", "") + "\n" + PictureTag("//img.example/a/1.jpg") +
             "\n</body></html>",
         {"https://img.example/a/1.jpg", "https://img.example/a/2.jpg", "https://img.example/a/1.jpg"}},
        {"two tags on one line stay apart",
         PictureTag("//img.example/x.jpg") + PictureTag("//img.example/y.jpg"),
         {"https://img.example/x.jpg", "https://img.example/y.jpg"}},
        {"tags written in capitals",
         ToUpperText(PictureTag("//IMG.EXAMPLE/Z.JPG")),
         {"https://IMG.EXAMPLE/Z.JPG"}},
        {"tags win over records", PictureTag("//img.example/t.jpg") + "\n" + records,
         {"https://img.example/t.jpg"}},
        {"records only, prefix put in front whatever they start with", "<html>\n" + records + "</html>",
         {"https://cdn.example/j1.jpg", "https:https://cdn.example/j2.jpg"}},
        {"neither", "<html><body><img src=\"//img.example/1.jpg\" /></body></html>", {}},
        {"empty page", "", {}},
        {"one space before src is not the site's tag",
         ReplaceText(PictureTag("//img.example/1.jpg"), "  src", " src"), {}},
        {"a tag without the large-picture marker",
         ReplaceText(PictureTag("//img.example/1.jpg"), "!weblarge", "!small"), {}},
    };
    for (const Case& c : cases) {
        TextList found = FindPictures(c.page);
        EXPECT_EQ(found, c.expected) << c.what << "\nfound:\n" << Joined(found);
    }
}

TEST(PicturePatterns, OtherGroupsCarryTitleAndSizes) {
    RegexObject regex;
    InitialiseRegex(regex);
    ASSERT_TRUE(regex.CompileAndExecute(HtmlPicturePattern, PictureTag("//h/p.jpg", "\xD6\xD0\xCE\xC4")));
    ASSERT_EQ(regex.MatchCount(), 1);
    EXPECT_EQ(regex.FirstSubMatchCount(), 3);
    EXPECT_EQ(regex.SubMatchText(1, 2), "\xD6\xD0\xCE\xC4");
    EXPECT_EQ(regex.SubMatchText(1, 3), "pic");

    ASSERT_TRUE(regex.CompileAndExecute(JsonPicturePattern, PictureRecord("//h/q.jpg")));
    ASSERT_EQ(regex.MatchCount(), 1);
    EXPECT_EQ(regex.SubMatchText(1, 2), "800");
    EXPECT_EQ(regex.SubMatchText(1, 3), "1200");
    regex.Destroy();
}

}  // namespace
