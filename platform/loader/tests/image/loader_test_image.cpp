// A shared object the loader tests open and close.
extern "C" int wv_loader_test_image_answer() { return 42; }
