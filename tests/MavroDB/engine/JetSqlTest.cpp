#include <gtest/gtest.h>

#include <random>
#include <string>

#include "aJetSql.h"

TEST(JetSql, RewritesJetTextTokenByToken) {
    struct {
        const char* jet;
        const char* sqlite;
    } rows[] = {
        {"SELECT [Name] FROM [Staff]", "SELECT \"Name\" FROM \"Staff\""},
        {"SELECT [T].[F] FROM T", "SELECT \"T\".\"F\" FROM \"T\""},
        {"SELECT * FROM T WHERE Name = \"Bob\"",
         "SELECT * FROM \"T\" WHERE \"Name\" = 'Bob' COLLATE JET"},
        {"SELECT * FROM T WHERE N = 'it''s'",
         "SELECT * FROM \"T\" WHERE \"N\" = 'it''s' COLLATE JET"},
        {"SELECT * FROM T WHERE N = \"say \"\"hi\"\"\"",
         "SELECT * FROM \"T\" WHERE \"N\" = 'say \"hi\"' COLLATE JET"},
        {"SELECT * FROM T WHERE D = #1/2/2000#", "SELECT * FROM \"T\" WHERE \"D\" = 36527"},
        {"SELECT * FROM T WHERE D > #2000-01-01 12:00#",
         "SELECT * FROM \"T\" WHERE \"D\" > 36526.5"},
        {"SELECT * FROM T WHERE A = True OR B = False",
         "SELECT * FROM \"T\" WHERE \"A\" = -1 OR \"B\" = 0"},
        {"SELECT A & B FROM T", "SELECT jet_join(\"A\", \"B\") FROM \"T\""},
        {"SELECT \"x\" + A, A + 1 FROM T",
         "SELECT jet_add('x' COLLATE JET, \"A\"), jet_add(\"A\", 1) FROM \"T\""},
        {"SELECT * FROM T WHERE N Like \"B*\" AND X Between 1 And 2 AND Y In (1,2) AND NOT Z",
         "SELECT * FROM \"T\" WHERE \"N\" Like 'B*' COLLATE JET AND \"X\" Between 1 And 2 AND "
         "\"Y\" In (1,2) "
         "AND NOT \"Z\""},
        {"SELECT IIf(A > 1, \"big\", \"small\") FROM T",
         "SELECT IIf(\"A\" > 1, 'big' COLLATE JET, 'small' COLLATE JET) FROM \"T\""},
        {"SELECT A FROM T ORDER BY A DESC;",
         "SELECT \"A\" FROM \"T\" ORDER BY \"A\" COLLATE JET DESC"},
        {"SELECT A FROM T ORDER BY T.A, Len(B) ASC, C",
         "SELECT \"A\" FROM \"T\" ORDER BY \"T\".\"A\" COLLATE JET, length(\"B\") COLLATE JET "
         "ASC, \"C\" COLLATE JET"},
        {"SELECT [Staff]![Name] FROM Staff", "SELECT \"Staff\".\"Name\" FROM \"Staff\""},
    };
    for (const auto& r : rows) {
        JetSqlResult res = RewriteJetSql(r.jet);
        EXPECT_EQ("", res.error) << r.jet;
        EXPECT_EQ(r.sqlite, res.sql) << r.jet;
    }
}

// + and & become the layer's functions around operands taken with Jet's
// precedence: arithmetic, then &, then comparisons and logic.
TEST(JetSql, PlusAndAmpersandTakeTheirOperandsByPrecedence) {
    struct {
        const char* jet;
        const char* sqlite;
    } rows[] = {
        {"SELECT \"a\" & 1 + 2 FROM T",
         "SELECT jet_join('a' COLLATE JET, jet_add(1, 2)) FROM \"T\""},
        {"SELECT A + B & C FROM T", "SELECT jet_join(jet_add(\"A\", \"B\"), \"C\") FROM \"T\""},
        {"SELECT A & B & C FROM T", "SELECT jet_join(jet_join(\"A\", \"B\"), \"C\") FROM \"T\""},
        {"SELECT A - B + C * D FROM T", "SELECT jet_add(\"A\" - \"B\", \"C\" * \"D\") FROM \"T\""},
        {"SELECT A * -1 + B, A - -1 + B FROM T",
         "SELECT jet_add(\"A\" * -1, \"B\"), jet_add(\"A\" - -1, \"B\") FROM \"T\""},
        {"SELECT A + B - C FROM T", "SELECT jet_add(\"A\", \"B\") - \"C\" FROM \"T\""},
        {"SELECT -A + Len(B) FROM T WHERE A & B = \"x\" AND C",
         "SELECT jet_add(-\"A\", length(\"B\")) FROM \"T\" WHERE jet_join(\"A\", \"B\") = 'x' "
         "COLLATE JET AND \"C\""},
        {"SELECT +A, (A + B) * 2 FROM T", "SELECT +\"A\", (jet_add(\"A\", \"B\")) * 2 FROM \"T\""},
        {"SELECT T.A + [T]![B] AS S FROM T",
         "SELECT jet_add(\"T\".\"A\", \"T\".\"B\") AS \"S\" FROM \"T\""},
        {"SELECT IIf(A + 1 > 2, A & \"x\", Null) FROM T",
         "SELECT IIf(jet_add(\"A\", 1) > 2, jet_join(\"A\", 'x' COLLATE JET), Null) FROM \"T\""},
        {"SELECT A FROM T WHERE B Between A + 1 And C & D",
         "SELECT \"A\" FROM \"T\" WHERE \"B\" Between jet_add(\"A\", 1) And jet_join(\"C\", "
         "\"D\")"},
        {"SELECT A FROM T ORDER BY A + B",
         "SELECT \"A\" FROM \"T\" ORDER BY jet_add(\"A\", \"B\") COLLATE JET"},
    };
    for (const auto& r : rows) {
        JetSqlResult res = RewriteJetSql(r.jet);
        EXPECT_EQ("", res.error) << r.jet;
        EXPECT_EQ(r.sqlite, res.sql) << r.jet;
    }
}

TEST(JetSql, ParametersAreBoundNeverPasted) {
    JetSqlResult r = RewriteJetSql(
        "PARAMETERS [Who] Text(20), Low Long; SELECT * FROM T WHERE N = [Who] AND S > Low "
        "AND M = [who]");
    ASSERT_EQ("", r.error);
    EXPECT_EQ(
        " SELECT * FROM \"T\" WHERE \"N\" = ?1 COLLATE JET AND \"S\" > ?2 COLLATE JET AND \"M\" = "
        "?1 COLLATE JET",
        r.sql);
    ASSERT_EQ(2u, r.params.size());
    EXPECT_EQ("Who", r.params[0].name);
    EXPECT_EQ(10, r.params[0].type);
    EXPECT_EQ(4, r.params[1].type);
    // Undeclared names the engine did not know become parameters too.
    JetSqlResult u = RewriteJetSql("SELECT * FROM T WHERE N = [Enter name]", {"Enter name"});
    EXPECT_EQ("SELECT * FROM \"T\" WHERE \"N\" = ?1 COLLATE JET", u.sql);
    ASSERT_EQ(1u, u.params.size());
    // A text holding SQL stays a text.
    JetSqlResult t = RewriteJetSql("SELECT * FROM T WHERE N = \"x'); DROP TABLE T; --\"");
    EXPECT_EQ("SELECT * FROM \"T\" WHERE \"N\" = 'x''); DROP TABLE T; --' COLLATE JET", t.sql);
}

TEST(JetSql, KindsAndWritability) {
    struct {
        const char* sql;
        int type;
        bool single;
    } rows[] = {
        {"SELECT * FROM Staff WHERE A = 1", 0, true},
        {"SELECT a.X FROM A INNER JOIN B ON A.K = B.K", 0, false},
        {"SELECT X, Count(*) FROM A GROUP BY X", 0, false},
        {"SELECT DISTINCT X FROM A", 0, false},
        {"SELECT X FROM A UNION SELECT X FROM B", 128, false},
        {"SELECT X FROM A, B", 0, false},
        {"TRANSFORM Sum(A) SELECT B FROM T GROUP BY B PIVOT C", 16, false},
        {"UPDATE T SET A = 1", 48, false},
        {"DELETE FROM T", 32, false},
        {"INSERT INTO T (A) VALUES (1)", 64, false},
        {"SELECT A INTO N FROM T", 80, false},
        {"CREATE TABLE X (A LONG)", 96, false},
    };
    for (const auto& r : rows) {
        JetSqlResult res = RewriteJetSql(r.sql);
        EXPECT_EQ("", res.error) << r.sql;
        EXPECT_EQ(r.type, res.queryType) << r.sql;
        EXPECT_EQ(r.single, res.singleTable) << r.sql;
    }
}

TEST(JetSql, AnythingElseIsRefused) {
    const char* bad[] = {
        "SELECT [A FROM T",
        "SELECT * FROM T WHERE N = \"open",
        "SELECT * FROM T WHERE D = #13/45/2000#",
        "SELECT * FROM T WHERE D = #soon#",
        "SELECT (A FROM T",
        "SELECT A) FROM T",
        "SELECT * FROM T; DROP TABLE T",
        "SELECT ?1 FROM T",
        "SELECT @x FROM T",
        "SELECT `A` FROM T",
        "PARAMETERS x Blob; SELECT x",
        "PARAMETERS x Long SELECT x",
        "EXEC something",
        "SELECT 2 ^ 3 FROM T",
    };
    for (const char* s : bad) EXPECT_NE("", RewriteJetSql(s).error) << s;
}

TEST(JetSql, DateLiterals) {
    double d = 0;
    EXPECT_TRUE(JetDateLiteral("12/31/1999", &d));
    EXPECT_EQ(36525.0, d);
    EXPECT_TRUE(JetDateLiteral("1999-12-31", &d));
    EXPECT_EQ(36525.0, d);
    EXPECT_TRUE(JetDateLiteral("2000/1/1 6:00:00", &d));
    EXPECT_EQ(36526.25, d);
    for (const char* bad : {"2/30/2001", "2001-02-29", "1/1/99", "1/1/2000 25:00", "x", ""})
        EXPECT_FALSE(JetDateLiteral(bad, &d)) << bad;
}

// A plain recursive reference of Jet's Like on ASCII.
static bool RefLike(const char* p, const char* s) {
    if (!*p)
        return !*s;
    if (*p == '*')
        return RefLike(p + 1, s) || (*s && RefLike(p, s + 1));
    if (!*s)
        return false;
    if (*p == '?')
        return RefLike(p + 1, s + 1);
    if (*p == '#')
        return isdigit((unsigned char)*s) && RefLike(p + 1, s + 1);
    return tolower((unsigned char)*p) == tolower((unsigned char)*s) && RefLike(p + 1, s + 1);
}

TEST(JetSql, LikeMatchesThePlainReference) {
    std::mt19937 rng(20260312);
    const char pat[] = "ab*?#A1";
    const char txt[] = "abAB01";
    for (int i = 0; i < 20000; ++i) {
        std::string p, s;
        int pn = rng() % 7, sn = rng() % 9;
        for (int k = 0; k < pn; ++k) p += pat[rng() % (sizeof(pat) - 1)];
        for (int k = 0; k < sn; ++k) s += txt[rng() % (sizeof(txt) - 1)];
        ASSERT_EQ(RefLike(p.c_str(), s.c_str()), JetLikeMatch(p.c_str(), s.c_str()))
            << "pattern '" << p << "' text '" << s << "'";
    }
    EXPECT_TRUE(JetLikeMatch("[a-c]x", "Bx"));
    EXPECT_FALSE(JetLikeMatch("[!a-c]x", "bx"));
    EXPECT_TRUE(JetLikeMatch("张*", "张三"));
    EXPECT_TRUE(JetLikeMatch("?三", "张三"));
}
