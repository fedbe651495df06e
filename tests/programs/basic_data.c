/* Restore and Read over a Data table as the compiler emits it, ending with a read
 * past the end. */
#include "basic_runtime.h"

static const char literal[] = "12abc";
static const char spaced[] = " 2.5e1";

static struct ksData data[] = {
    {1, -42},       {1, 7},          {1, 9},
    {2, 0x4039999A}, /* 2.9f */
    {2, (int)0xC039999A}, /* -2.9f */
    {2, 0x3FC00000}, /* 1.5f */
    {4, (int)literal}, {4, (int)literal}, {4, (int)literal}, {4, (int)spaced},
    {0, 0}};

void __MAIN(void) {
  __ksRestore(data);
  ks_log_int("int=", __ksReadInt());
  ks_log_float("int as float=", __ksReadFloat());
  ks_log("int as text=", __ksReadStr());
  ks_log_int("2.9 as int=", __ksReadInt());
  ks_log_int("-2.9 as int=", __ksReadInt());
  ks_log("1.5 as text=", __ksReadStr());
  ks_log_int("literal as int=", __ksReadInt());
  ks_log_float("literal as float=", __ksReadFloat());
  ks_log("literal as text=", __ksReadStr());
  ks_log_float("spaced as float=", __ksReadFloat());
  __ksRestore(&data[1]);
  ks_log_int("restored=", __ksReadInt());
  __ksRestore(&data[10]);
  __ksReadInt();
  _fdebuglog(__ksStrConst("not reached"));
}
