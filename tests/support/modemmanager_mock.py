'''python-dbusmock template: ModemManager with one modem, for tst_modemmanager.

Run as  python3 -m dbusmock -t modemmanager_mock.py -p '{...}'  with DBUS_SYSTEM_BUS_ADDRESS
pointing at a private bus. Parameters:
  device      the modem's Device property, the key InhibitDevice takes
  ports       the ports the modem lists: a name (type AT) or a [name, MMModemPortType] pair
  hold        a device path the service keeps open and flock()ed, as a service that locks
              its ports would, until InhibitDevice(..., true); taken again on release
  let_go_ms   how long it still holds that device after answering InhibitDevice(true)
  refuse      InhibitDevice answers polkit's refusal instead
  stall_ms    GetManagedObjects answers only after this long (a hung service)
  answer_ms   InhibitDevice(..., true) answers only after this long (a slow service)

Besides the call log of org.freedesktop.DBus.Mock, OpenersAtInhibit() tells, for every
InhibitDevice call in order, which processes had the modem's devices open at that moment.
'''

import fcntl
import os
import threading
import time

import dbus

from dbusmock import MOCK_IFACE, OBJECT_MANAGER_IFACE
from dbusmock.mockobject import objects

SYSTEM_BUS = True
BUS_NAME = 'org.freedesktop.ModemManager1'
MAIN_OBJ = '/org/freedesktop/ModemManager1'
MAIN_IFACE = 'org.freedesktop.ModemManager1'
IS_OBJECT_MANAGER = True
MODEM_IFACE = 'org.freedesktop.ModemManager1.Modem'
PORT_TYPE_AT = 3

state = {'held': None, 'openers': [], 'params': {}}


def _openers(ports):
    '''Process ids that have one of the ports (names below /dev) open right now.'''
    paths = {'/dev/' + p for p in ports}
    pids = set()
    for pid in os.listdir('/proc'):
        if not pid.isdigit():
            continue
        try:
            for fd in os.listdir(f'/proc/{pid}/fd'):
                try:
                    if os.readlink(f'/proc/{pid}/fd/{fd}') in paths:
                        pids.add(int(pid))
                except OSError:
                    pass
        except OSError:
            pass
    pids.discard(os.getpid())  # the service itself is not the other party
    return dbus.Array(sorted(pids), signature='u')


def _hold():
    path = state['params'].get('hold')
    if not path or state['held'] is not None:
        return
    try:
        fd = os.open(path, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
    except OSError:
        return  # the device is gone
    try:
        fcntl.flock(fd, fcntl.LOCK_EX | fcntl.LOCK_NB)
    except OSError:
        os.close(fd)
        return
    state['held'] = fd


def _let_go():
    fd = state['held']
    state['held'] = None
    if fd is not None:
        os.close(fd)


def _port_names(ports):
    return [p if isinstance(p, str) else p[0] for p in ports]


def _inhibit_device(self, uid, inhibit):
    params = state['params']
    state['openers'].append(_openers(_port_names(params.get('ports', []))))
    if inhibit and params.get('answer_ms'):
        time.sleep(params['answer_ms'] / 1000.0)
    if params.get('refuse'):
        raise dbus.exceptions.DBusException(
            'Not authorized to control the device',
            name='org.freedesktop.ModemManager1.Error.Core.Unauthorized')
    if uid != params.get('device'):
        raise dbus.exceptions.DBusException(
            'No device found with uid ' + uid,
            name='org.freedesktop.ModemManager1.Error.Core.NotFound')
    if inhibit:
        delay = params.get('let_go_ms', 0) / 1000.0
        if delay > 0:
            threading.Timer(delay, _let_go).start()
        else:
            _let_go()
    else:
        _hold()


def _get_managed_objects(self):
    stall = state['params'].get('stall_ms', 0)
    if stall:
        time.sleep(stall / 1000.0)
    return {dbus.ObjectPath(k): objects[k].props
            for k in objects if k.startswith(MAIN_OBJ + '/')}


def load(mock, parameters):
    state['params'] = dict(parameters)
    mock.AddMethod(MAIN_IFACE, 'InhibitDevice', 'sb', '', _inhibit_device)
    ports = dbus.Array([dbus.Struct((dbus.String(p), dbus.UInt32(PORT_TYPE_AT)), signature='su')
                        if isinstance(p, str) else
                        dbus.Struct((dbus.String(p[0]), dbus.UInt32(p[1])), signature='su')
                        for p in parameters.get('ports', [])], signature='(su)')
    mock.AddObject(MAIN_OBJ + '/Modem/0', MODEM_IFACE,
                   {'Device': dbus.String(parameters.get('device', '')), 'Ports': ports}, [])
    if parameters.get('stall_ms'):
        mock.AddMethod(OBJECT_MANAGER_IFACE, 'GetManagedObjects', '', 'a{oa{sa{sv}}}',
                       _get_managed_objects)
    _hold()


@dbus.service.method(MOCK_IFACE, in_signature='', out_signature='aau')
def OpenersAtInhibit(_self):
    '''For every InhibitDevice call so far: the processes that had the ports open then.'''
    return dbus.Array(state['openers'], signature='au')
