// A shared object without a build-id.
extern "C" int wv_plain_image_answer() { return 7; }
