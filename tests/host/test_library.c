/* A user library for the CallDLL cache tests. */
int sizes(void* in, int in_size, void* out, int out_size) {
  (void)in;
  if (out && out_size >= 4) {
    *(int*)out = 0x4B53;
  }
  return in_size * 1000 + out_size;
}
