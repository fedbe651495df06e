/* The sound example: the project's own tracker song as music, with the blip and hit
 * effects played over it at different pitches and pans, then the MIDI version of the
 * song. The command line names the folder holding the assets (examples/sound when
 * empty); make_assets.py in that folder writes them. */
#include "kestrel_runtime.h"

static struct ksStr* folder;

static struct ksStr* asset(const char* name) {
  return __ksStrConcat(__ksStrLoad(&folder), __ksStrConst(name));
}

static void logValue(const char* label, int value) {
  _fdebuglog(__ksStrConcat(__ksStrConst(label), __ksStrFromInt(value)));
}

void __MAIN(void) {
  __ksStrStore(&folder, _ftrim(_fcommandline()));
  if (_flen(__ksStrLoad(&folder)) == 0) {
    __ksStrStore(&folder, __ksStrConst("examples/sound"));
  }
  __ksStrStore(&folder, __ksStrConcat(__ksStrLoad(&folder), __ksStrConst("/")));

  int blip = _floadsound(asset("blip.wav"));
  int hit = _floadsound(asset("hit.wav"));
  logValue("Effects loaded: ", (blip != 0) + (hit != 0));

  int music = _fplaymusic(asset("tune.mod"));
  _fchannelvolume(music, 0.7f);
  logValue("Module playing: ", _fchannelplaying(music));

  /* Eight effects, alternating, swept from the left to the right; the blip climbs. */
  for (int i = 0; i < 8; i++) {
    int channel = _fplaysound((i & 1) ? hit : blip);
    if ((i & 1) == 0) {
      _fchannelpitch(channel, 22050 + 5512 * (i / 2));
    }
    _fchannelpan(channel, -1.0f + (float)i * (2.0f / 7.0f));
    _fdelay(300);
  }
  _fstopchannel(music);
  logValue("Module playing after StopChannel: ", _fchannelplaying(music));

  int midi = _fplaymusic(asset("tune.mid"));
  logValue("MIDI song playing: ", _fchannelplaying(midi));
  _fdelay(2000);
  _fstopchannel(midi);
  _ffreesound(blip);
  _ffreesound(hit);
  __ksStrStore(&folder, 0);
}
