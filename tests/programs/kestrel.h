/* Runtime entries for C test programs, declared by their link names. A program defines
 * void __MAIN(void) as its entry and may call only these (there is no libc). Commands are
 * "_f" + the lower-cased command name; internal entries and data symbols carry "__".
 * Keep programs free of large struct copies and array initialisers on the stack: gcc may
 * turn them into calls to memcpy or memset, which the runtime does not provide. */
#ifndef KESTREL_TEST_PROGRAM_H
#define KESTREL_TEST_PROGRAM_H

struct ksStr;

/* Core commands. */
void _fend(void);
void _fstop(void);
void _fapptitle(struct ksStr* title, struct ksStr* close_prompt);
void _fruntimeerror(struct ksStr* message);
void _fexecfile(struct ksStr* command);
void _fdelay(int millisecs);
int _fmillisecs(void);
struct ksStr* _fcommandline(void);
struct ksStr* _fsystemproperty(struct ksStr* property);
struct ksStr* _fgetenv(struct ksStr* env_var);
void _fsetenv(struct ksStr* env_var, struct ksStr* value);
int _fcreatetimer(int hertz);
int _fwaittimer(int timer);
void _ffreetimer(int timer);
void _fdebuglog(struct ksStr* text);

/* Debugger hooks. */
void __ksDebugStmt(int first, int second);
void __ksDebugEnter(int first, int second, int third);
void __ksDebugLeave(void);

/* Strings. */
struct ksStr* __ksStrConst(const char* text);
void __ksStrRelease(struct ksStr* string);
int __ksStrCompare(struct ksStr* left, struct ksStr* right);
struct ksStr* __ksStrConcat(struct ksStr* left, struct ksStr* right);
struct ksStr* __ksStrFromInt(int value);
int __ksStrToInt(struct ksStr* string);
struct ksStr* __ksStrFromFloat(float value);
float __ksStrToFloat(struct ksStr* string);
void __ksStrStore(struct ksStr** variable, struct ksStr* value);
struct ksStr* __ksStrLoad(struct ksStr** variable);

/* Type-code data symbols (take their address). */
extern int __ksIntType, __ksFltType, __ksStrType, __ksCStrType;

#endif
