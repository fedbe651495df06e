/* A user type through the object entries: creation order, Each loops, a deleted
 * object still held, insertion, text form, handles and Delete Each. */
#include "basic_runtime.h"

/* Type Thing: id%, size#, name$, link.Thing */
static struct ksType thing = {
    KS_TYPE_SENTINELS(thing), 4, {&__ksIntType, &__ksFltType, &__ksStrType, &thing.code}};
/* Type Other: id% */
static struct ksType other = {KS_TYPE_SENTINELS(other), 1, {&__ksIntType}};

static struct ksObj* held;
static struct ksObj* loop;

union FloatSlot {
  float f;
  int i;
};

static struct ksObj* make(int id) {
  struct ksObj* o = __ksObjNew(&thing);
  union FloatSlot size;
  size.f = id + 0.5f;
  o->fields[0] = id;
  o->fields[1] = size.i;
  __ksStrStore((struct ksStr**)&o->fields[2], __ksStrFromInt(id * 10));
  return o;
}

static void log_order(const char* label) {
  struct ksStr* text = __ksStrConst(label);
  int more;
  for (more = __ksObjEachFirst(&loop, &thing); more; more = __ksObjEachNext(&loop)) {
    text = __ksStrConcat(text, __ksStrFromInt(loop->fields[0]));
  }
  _fdebuglog(text);
}

void __MAIN(void) {
  struct ksObj* a = make(1);
  struct ksObj* b = make(2);
  struct ksObj* c = make(3);
  log_order("order=");

  __ksObjStore((struct ksObj**)&a->fields[3], b);
  ks_log("text=", __ksObjToStr(a));
  __ksObjStore((struct ksObj**)&b->fields[3], a);
  ks_log("cycle=", __ksObjToStr(a));

  ks_log_int("handle b=", __ksObjToHandle(b));
  ks_log_int("handle a=", __ksObjToHandle(a));
  ks_log_int("from handle=", __ksObjFromHandle(1, &thing) == b);
  ks_log_int("foreign type=", __ksObjFromHandle(1, &other) == 0);

  __ksObjStore(&held, c);
  __ksObjDelete(c);
  log_order("after delete=");
  ks_log("held text=", __ksObjToStr(held));
  ks_log_int("held is null=", __ksObjCompare(held, 0) == 0);
  ks_log_int("held handle=", __ksObjToHandle(held));

  __ksObjInsBefore(b, a);
  log_order("moved=");
  ks_log_int("first=", __ksObjFirst(&thing)->fields[0]);
  ks_log_int("last=", __ksObjLast(&thing)->fields[0]);
  ks_log_int("prev of a=", __ksObjPrev(a)->fields[0]);

  __ksObjNew(&other);
  __ksObjDeleteEach(&thing);
  ks_log_int("after delete each first=", __ksObjFirst(&thing) == 0);
  ks_log_int("from deleted handle=", __ksObjFromHandle(1, &thing) == 0);
  __ksObjStore(&held, 0);
  _fruntimestats();
}
