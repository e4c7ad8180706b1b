// Under ThreadSanitizer: FFmpeg is not instrumented, so the atomic reference
// counts by which its decoding threads hand pictures to each other are
// invisible to the sanitizer and show up as races inside libavcodec and
// libavutil (threaded decoding). Reports with an FFmpeg frame are
// suppressed; races in our code are still reported.
extern "C" const char* __tsan_default_suppressions() {
    return "race:libavcodec.so\nrace:libavutil.so\n";
}
