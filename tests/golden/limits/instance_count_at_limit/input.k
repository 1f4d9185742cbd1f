// One compilation makes at most 10000 template instances: 99 R of a class
// with 100 P each (9999), then P<int,int>, compile; one instance more is refused.
class C0 {}; class C1 {}; class C2 {}; class C3 {}; class C4 {}; class C5 {}; class C6 {}; class C7 {}; class C8 {}; class C9 {};
class C10 {}; class C11 {}; class C12 {}; class C13 {}; class C14 {}; class C15 {}; class C16 {}; class C17 {}; class C18 {}; class C19 {};
class C20 {}; class C21 {}; class C22 {}; class C23 {}; class C24 {}; class C25 {}; class C26 {}; class C27 {}; class C28 {}; class C29 {};
class C30 {}; class C31 {}; class C32 {}; class C33 {}; class C34 {}; class C35 {}; class C36 {}; class C37 {}; class C38 {}; class C39 {};
class C40 {}; class C41 {}; class C42 {}; class C43 {}; class C44 {}; class C45 {}; class C46 {}; class C47 {}; class C48 {}; class C49 {};
class C50 {}; class C51 {}; class C52 {}; class C53 {}; class C54 {}; class C55 {}; class C56 {}; class C57 {}; class C58 {}; class C59 {};
class C60 {}; class C61 {}; class C62 {}; class C63 {}; class C64 {}; class C65 {}; class C66 {}; class C67 {}; class C68 {}; class C69 {};
class C70 {}; class C71 {}; class C72 {}; class C73 {}; class C74 {}; class C75 {}; class C76 {}; class C77 {}; class C78 {}; class C79 {};
class C80 {}; class C81 {}; class C82 {}; class C83 {}; class C84 {}; class C85 {}; class C86 {}; class C87 {}; class C88 {}; class C89 {};
class C90 {}; class C91 {}; class C92 {}; class C93 {}; class C94 {}; class C95 {}; class C96 {}; class C97 {}; class C98 {}; class C99 {};
class Holder {
    R<C0> r0; R<C1> r1; R<C2> r2; R<C3> r3; R<C4> r4; R<C5> r5; R<C6> r6; R<C7> r7; R<C8> r8; R<C9> r9;
    R<C10> r10; R<C11> r11; R<C12> r12; R<C13> r13; R<C14> r14; R<C15> r15; R<C16> r16; R<C17> r17; R<C18> r18; R<C19> r19;
    R<C20> r20; R<C21> r21; R<C22> r22; R<C23> r23; R<C24> r24; R<C25> r25; R<C26> r26; R<C27> r27; R<C28> r28; R<C29> r29;
    R<C30> r30; R<C31> r31; R<C32> r32; R<C33> r33; R<C34> r34; R<C35> r35; R<C36> r36; R<C37> r37; R<C38> r38; R<C39> r39;
    R<C40> r40; R<C41> r41; R<C42> r42; R<C43> r43; R<C44> r44; R<C45> r45; R<C46> r46; R<C47> r47; R<C48> r48; R<C49> r49;
    R<C50> r50; R<C51> r51; R<C52> r52; R<C53> r53; R<C54> r54; R<C55> r55; R<C56> r56; R<C57> r57; R<C58> r58; R<C59> r59;
    R<C60> r60; R<C61> r61; R<C62> r62; R<C63> r63; R<C64> r64; R<C65> r65; R<C66> r66; R<C67> r67; R<C68> r68; R<C69> r69;
    R<C70> r70; R<C71> r71; R<C72> r72; R<C73> r73; R<C74> r74; R<C75> r75; R<C76> r76; R<C77> r77; R<C78> r78; R<C79> r79;
    R<C80> r80; R<C81> r81; R<C82> r82; R<C83> r83; R<C84> r84; R<C85> r85; R<C86> r86; R<C87> r87; R<C88> r88; R<C89> r89;
    R<C90> r90; R<C91> r91; R<C92> r92; R<C93> r93; R<C94> r94; R<C95> r95; R<C96> r96; R<C97> r97; R<C98> r98;
    P<int, int> last;
};
int main(String[] args) {
    return new Holder() == nilptr ? 1 : 0;
}
class R<X> {
    P<X, C0> p0; P<X, C1> p1; P<X, C2> p2; P<X, C3> p3; P<X, C4> p4; P<X, C5> p5; P<X, C6> p6; P<X, C7> p7; P<X, C8> p8; P<X, C9> p9;
    P<X, C10> p10; P<X, C11> p11; P<X, C12> p12; P<X, C13> p13; P<X, C14> p14; P<X, C15> p15; P<X, C16> p16; P<X, C17> p17; P<X, C18> p18; P<X, C19> p19;
    P<X, C20> p20; P<X, C21> p21; P<X, C22> p22; P<X, C23> p23; P<X, C24> p24; P<X, C25> p25; P<X, C26> p26; P<X, C27> p27; P<X, C28> p28; P<X, C29> p29;
    P<X, C30> p30; P<X, C31> p31; P<X, C32> p32; P<X, C33> p33; P<X, C34> p34; P<X, C35> p35; P<X, C36> p36; P<X, C37> p37; P<X, C38> p38; P<X, C39> p39;
    P<X, C40> p40; P<X, C41> p41; P<X, C42> p42; P<X, C43> p43; P<X, C44> p44; P<X, C45> p45; P<X, C46> p46; P<X, C47> p47; P<X, C48> p48; P<X, C49> p49;
    P<X, C50> p50; P<X, C51> p51; P<X, C52> p52; P<X, C53> p53; P<X, C54> p54; P<X, C55> p55; P<X, C56> p56; P<X, C57> p57; P<X, C58> p58; P<X, C59> p59;
    P<X, C60> p60; P<X, C61> p61; P<X, C62> p62; P<X, C63> p63; P<X, C64> p64; P<X, C65> p65; P<X, C66> p66; P<X, C67> p67; P<X, C68> p68; P<X, C69> p69;
    P<X, C70> p70; P<X, C71> p71; P<X, C72> p72; P<X, C73> p73; P<X, C74> p74; P<X, C75> p75; P<X, C76> p76; P<X, C77> p77; P<X, C78> p78; P<X, C79> p79;
    P<X, C80> p80; P<X, C81> p81; P<X, C82> p82; P<X, C83> p83; P<X, C84> p84; P<X, C85> p85; P<X, C86> p86; P<X, C87> p87; P<X, C88> p88; P<X, C89> p89;
    P<X, C90> p90; P<X, C91> p91; P<X, C92> p92; P<X, C93> p93; P<X, C94> p94; P<X, C95> p95; P<X, C96> p96; P<X, C97> p97; P<X, C98> p98; P<X, C99> p99;
};
class P<X, Y> {
};
