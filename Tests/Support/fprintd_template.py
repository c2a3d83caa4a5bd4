'''A fake fprintd for tests: net.reactivated.Fprint on the system bus.

Exports the Manager and one Device (/net/reactivated/Fprint/Device/0) with
the calls a verifying client makes. Parameters (JSON, all optional):

  device      false: GetDefaultDevice raises NoSuchDevice (default true)
  enrolled    the fingers ListEnrolledFingers returns; an empty list raises
              NoEnrolledPrints (default ["right-index-finger"])
  claim_error the fprintd error Claim raises, e.g. "AlreadyInUse" or
              "PermissionDenied" (default none)
  verify      a list of VerifyStatus sequences; each VerifyStart replays the
              next one (the last one repeats), one result every `step_ms`.
              An empty sequence sends nothing. (default [["verify-match"]])
  step_ms     the delay before each VerifyStatus (default 20)
  hang        seconds every Manager and Device call blocks before answering,
              as a stuck service does (default 0)

Calls are logged by dbusmock: GetCalls on org.freedesktop.DBus.Mock of each
object path.
'''

import time

import dbus
from gi.repository import GLib

from dbusmock import mockobject

BUS_NAME = 'net.reactivated.Fprint'
MAIN_OBJ = '/net/reactivated/Fprint/Manager'
MAIN_IFACE = 'net.reactivated.Fprint.Manager'
SYSTEM_BUS = True

DEVICE_PATH = '/net/reactivated/Fprint/Device/0'
DEVICE_IFACE = 'net.reactivated.Fprint.Device'
ERROR_PREFIX = 'net.reactivated.Fprint.Error.'
KEEP_WAITING = {'verify-retry-scan', 'verify-swipe-too-short', 'verify-finger-not-centered',
                'verify-remove-and-retry'}


def fprintd_error(name, message):
    return dbus.exceptions.DBusException(message, name=ERROR_PREFIX + name)


def load(mock, parameters):
    settings = {
        'device': parameters.get('device', True),
        'enrolled': list(parameters.get('enrolled', ['right-index-finger'])),
        'claim_error': parameters.get('claim_error'),
        'verify': [list(sequence) for sequence in parameters.get('verify', [['verify-match']])],
        'step_ms': int(parameters.get('step_ms', 20)),
        'hang': float(parameters.get('hang', 0)),
    }
    state = {'claimed': False, 'starts': 0, 'generation': 0}

    def stall():
        if settings['hang'] > 0:
            time.sleep(settings['hang'])

    def get_default_device(_self):
        stall()
        if not settings['device']:
            raise fprintd_error('NoSuchDevice', 'No devices available')
        return dbus.ObjectPath(DEVICE_PATH)

    def get_devices(_self):
        stall()
        return dbus.Array([DEVICE_PATH] if settings['device'] else [], signature='o')

    mock.AddMethod(MAIN_IFACE, 'GetDefaultDevice', '', 'o', get_default_device)
    mock.AddMethod(MAIN_IFACE, 'GetDevices', '', 'ao', get_devices)

    mock.AddObject(DEVICE_PATH, DEVICE_IFACE, {
        'name': 'Fake fingerprint reader',
        'num-enroll-stages': dbus.Int32(5),
        'scan-type': 'press',
    }, [])
    device = mockobject.objects[DEVICE_PATH]

    def list_enrolled_fingers(_self, _user):
        stall()
        if not settings['enrolled']:
            raise fprintd_error('NoEnrolledPrints', 'Failed to discover prints')
        return dbus.Array(settings['enrolled'], signature='s')

    def claim(_self, _user):
        stall()
        if settings['claim_error']:
            raise fprintd_error(settings['claim_error'], 'Claim refused')
        if state['claimed']:
            raise fprintd_error('AlreadyInUse', 'Device was already claimed')
        state['claimed'] = True

    def release(_self):
        stall()
        if not state['claimed']:
            raise fprintd_error('ClaimDevice', 'Device was not claimed before use')
        state['claimed'] = False

    def verify_start(_self, _finger):
        stall()
        if not state['claimed']:
            raise fprintd_error('ClaimDevice', 'Device was not claimed before use')
        sequences = settings['verify']
        sequence = sequences[min(state['starts'], len(sequences) - 1)] if sequences else []
        state['starts'] += 1
        state['generation'] += 1
        generation = state['generation']

        def emit(results):
            # A VerifyStop since this start ends the replay.
            if generation != state['generation'] or not results:
                return False
            result = results[0]
            device.EmitSignal(DEVICE_IFACE, 'VerifyStatus', 'sb', [result, result not in KEEP_WAITING])
            if results[1:]:
                GLib.timeout_add(settings['step_ms'], emit, results[1:])
            return False

        if sequence:
            GLib.timeout_add(settings['step_ms'], emit, sequence)

    def verify_stop(_self):
        stall()
        state['generation'] += 1

    device.AddMethod(DEVICE_IFACE, 'ListEnrolledFingers', 's', 'as', list_enrolled_fingers)
    device.AddMethod(DEVICE_IFACE, 'Claim', 's', '', claim)
    device.AddMethod(DEVICE_IFACE, 'Release', '', '', release)
    device.AddMethod(DEVICE_IFACE, 'VerifyStart', 's', '', verify_start)
    device.AddMethod(DEVICE_IFACE, 'VerifyStop', '', '', verify_stop)
