// The generated korvo program the front-end benchmarks parse, and the parse
// trace test replays: classes of about 40 lines with fields, a constructor,
// methods, loops, conditions, switches, try blocks and expressions.
#pragma once

#include <cstdio>
#include <string>

namespace benchprogram {

// About `lines` lines (a multiple of 40, plus a few).
inline std::string generateProgram(int lines) {
    std::string text = "include(\"base.k\")\nusing { korvo.lang; };\n\n";
    int classes = lines / 40 + 1;
    char buffer[256];
    for (int c = 0; c < classes; ++c) {
        std::snprintf(buffer, sizeof buffer, "class Worker%d : public Base {\n", c);
        text += buffer;
        text += "    private int count = 0;\n    String name;\n    int[] values = new int[16];\n\n";
        text += "    Worker(String name) { this.name = name; }\n\n";
        for (int m = 0; m < 2; ++m) {
            std::snprintf(buffer, sizeof buffer, "    int step%d(int limit, List<String> items) throws Exception {\n", m);
            text += buffer;
            text += "        int total = 0, i;\n"
                    "        for (i = 0; i < limit; i++) {\n"
                    "            total += values[i % 16] * 2 + (limit - i) / 3;\n"
                    "            if (total > 1000 && !done(i)) { total = total >> 1; } else total++;\n"
                    "        }\n"
                    "        for (String s : items) { count = count + s.length(); }\n"
                    "        while (total > 0) { total -= step(total, name); }\n"
                    "        switch (total) { case 0: break; default: total = -1; }\n"
                    "        try { risky(this.name); } catch (Exception e) { throw e; }\n"
                    "        return total == 0 ? count : (int) total;\n"
                    "    }\n\n";
        }
        text += "    static int main(String[] args) { return new Worker(\"a\").step0(3, null); }\n};\n\n";
    }
    return text;
}

// A program that compiles whole (korvo -c) without a message: a base class,
// then classes of 47 lines with fields, a constructor and methods that
// loop, branch, work on strings, use the catalogue's List and Map and call the
// class before them, and a class with the entry point. bench/compare_compilers.py writes the same classes,
// methods and statements in Java, C# and Lua.
inline std::string generateFullProgram(int lines) {
    std::string text =
        "class Base {\n"
        "    public bool done(int i) { return i > 3; }\n"
        "    public int step(int t, String n) { return t - n.length(); }\n"
        "    public void risky(String n) throws Exception { if (n == nilptr) throw new Exception(\"none\"); }\n"
        "};\n\n";
    int classes = lines / 47 + 1;
    char buffer[256];
    for (int c = 0; c < classes; ++c) {
        std::snprintf(buffer, sizeof buffer, "class Worker%d : Base {\n", c);
        text += buffer;
        text += "    private int count = 0;\n    String name;\n    int[] values = new int[16];\n"
                "    Map<String, int> seen = new Map<String, int>();\n\n";
        std::snprintf(buffer, sizeof buffer, "    public Worker%d(String text) { name = text; }\n\n", c);
        text += buffer;
        for (int m = 0; m < 2; ++m) {
            std::snprintf(buffer, sizeof buffer,
                          "    public int step%d(int limit, List<String> items) throws Exception {\n", m);
            text += buffer;
            text += "        int total = 0, i;\n"
                    "        for (i = 0; i < limit; i++) {\n"
                    "            total += values[i % 16] * 2 + (limit - i) / 3;\n"
                    "            if (total > 1000 && !done(i)) { total = total >> 1; } else total++;\n"
                    "        }\n"
                    "        String s;\n"
                    "        for (s : items) { count = count + s.length(); }\n"
                    "        while (total > 0) { total -= step(total, name); }\n"
                    "        switch (total) { case 0: break; default: total = -1; }\n"
                    "        try { risky(this.name); } catch (Exception e) { throw e; }\n"
                    "        String label = name + \":\" + total;\n"
                    "        seen.put(label, count);\n";
            std::snprintf(buffer, sizeof buffer, "        total += new Worker%d(label).%s;\n", c > 0 ? c - 1 : c,
                          m == 0 ? "step1(1, items)" : "peek()");
            text += buffer;
            text += "        return total == 0 ? count : (int) total;\n"
                    "    }\n\n";
        }
        text += "    public int peek() throws Exception { return count + step0(1, nilptr); }\n};\n\n";
    }
    std::snprintf(buffer, sizeof buffer,
                  "class Entry {\n"
                  "    public static int main(String[] args) throws Exception {\n"
                  "        Worker%d w = new Worker%d(args[0]);\n"
                  "        return w.step1(3, nilptr) + w.peek();\n"
                  "    }\n};\n",
                  classes - 1, classes - 1);
    text += buffer;
    return text;
}

inline int countLines(const std::string& text) {
    int lines = 0;
    for (char c : text) lines += c == '\n';
    return lines;
}

}  // namespace benchprogram
