/* A small library for the CallDLL tests: each function takes the in bank and its size,
   the out bank and its size, as CallDLL passes them. */
#define EXPORT __attribute__((visibility("default")))

/* Sums the in bank's bytes; writes the sum as an int to the out bank when it has room. */
EXPORT int sum_bytes(const unsigned char* in, int in_size, unsigned char* out, int out_size) {
  int sum = 0;
  for (int i = 0; i < in_size; ++i) {
    sum += in[i];
  }
  if (out && out_size >= 4) {
    out[0] = (unsigned char)sum;
    out[1] = (unsigned char)(sum >> 8);
    out[2] = (unsigned char)(sum >> 16);
    out[3] = (unsigned char)(sum >> 24);
  }
  return sum;
}

/* Reverses the in bank into the out bank, byte by byte from both ends; with one bank
   for both, what it reads has already been overwritten past the middle. */
EXPORT int reverse_into(const unsigned char* in, int in_size, unsigned char* out, int out_size) {
  const int n = in_size < out_size ? in_size : out_size;
  for (int i = 0; i < n; ++i) {
    out[i] = in[in_size - 1 - i];
  }
  return n;
}

/* Reports what it was given: 1 for a null pointer, times the size. */
EXPORT int describe(const void* in, int in_size, void* out, int out_size) {
  return (in == 0 ? 1000 : 0) + in_size * 10 + (out == 0 ? 100000 : 0) + out_size;
}

/* Whether in and out are the same address. */
EXPORT int same_bank(const void* in, int in_size, void* out, int out_size) {
  (void)in_size;
  (void)out_size;
  return in == out;
}
