// A zip library without its entry points.
extern "C" int SomethingElse() { return 1; }
