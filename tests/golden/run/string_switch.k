// expect-result: 428108830
// A switch over Strings: cases fall through, a default in the middle and a
// case after it, break leaving the switch and continue the loop around it;
// the selector is built by joining.
int score(String s) {
    int r = 0;
    switch (s) {
    case "one": r += 1;
    case "two": r += 20; break;
    default: r += 300;
    case "": r += 4000;
    case "four": r += 50000; break;
    case "five": return 7;
    }
    return r;
}
int main(String[] args) {
    String[] words = new String[6];
    words[0] = "one";
    words[1] = "tw" + "o";
    words[2] = "three";
    words[3] = "";
    words[4] = "four";
    words[5] = "fi" + 'v' + "e";
    int total = 0;
    for (int i = 0; i < 6; i++) total = total * 3 + score(words[i]);
    int seen = 0;
    for (int i = 0; i < 8; i++) {
        switch ("k" + (i & 3)) {
        case "k1": continue;
        case "k2": seen += 10;
        case "k3": seen += 100; break;
        }
        seen += 1;
    }
    return total + seen * 1000000;
}
