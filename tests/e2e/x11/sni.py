#!/usr/bin/python3
# A desktop that draws notification-area icons itself, as far as a test needs one, on the bus in
# DBUS_SESSION_BUS_ADDRESS:
#   sni.py watcher                   the StatusNotifierWatcher with one host, printing "ready" and
#                                    then "item SERVICE" for each item that registers
#   sni.py host SERVICE menu         prints the item's menu path and its entries ("-" a separator)
#   sni.py host SERVICE activate     what a left click on the icon does
#   sni.py host SERVICE tooltip      prints the icon's tooltip text
#   sni.py host SERVICE click LABEL  chooses the menu entry LABEL
import sys

import dbus
import dbus.mainloop.glib
import dbus.service
from gi.repository import GLib

WATCHER = 'org.kde.StatusNotifierWatcher'
ITEM = 'org.kde.StatusNotifierItem'
MENU = 'com.canonical.dbusmenu'
# Properties must be in the introspection data: that is where a Qt client looks for them.
INTROSPECTION = '''<node><interface name="org.kde.StatusNotifierWatcher">
 <method name="RegisterStatusNotifierItem"><arg name="service" type="s" direction="in"/></method>
 <property name="RegisteredStatusNotifierItems" type="as" access="read"/>
 <property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
 <property name="ProtocolVersion" type="i" access="read"/>
</interface></node>'''


class Watcher(dbus.service.Object):
    def __init__(self, bus):
        super().__init__(bus, '/StatusNotifierWatcher')
        self.items = []

    @dbus.service.method(dbus.INTROSPECTABLE_IFACE, out_signature='s')
    def Introspect(self):
        return INTROSPECTION

    @dbus.service.method(WATCHER, in_signature='s', sender_keyword='sender')
    def RegisterStatusNotifierItem(self, service, sender=None):
        # An item may name itself by a path only; it then lives at its sender's name.
        name = sender if service.startswith('/') else service
        self.items.append(name)
        print('item', name, flush=True)

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature='ss', out_signature='v')
    def Get(self, interface, name):
        return self.GetAll(interface)[name]

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature='s', out_signature='a{sv}')
    def GetAll(self, interface):
        return {'RegisteredStatusNotifierItems': dbus.Array(self.items, signature='s'),
                'IsStatusNotifierHostRegistered': True, 'ProtocolVersion': dbus.Int32(0)}


def watch():
    dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    watcher = Watcher(bus)
    name = dbus.service.BusName(WATCHER, bus, do_not_queue=True)
    print('ready', flush=True)
    GLib.MainLoop().run()
    del watcher, name


def host(service, action, label=None):
    bus = dbus.SessionBus()
    item = bus.get_object(service, '/StatusNotifierItem')
    if action == 'activate':
        dbus.Interface(item, ITEM).Activate(0, 0)
        return 0
    if action == 'tooltip':
        # (icon name, icon pixmaps, title, text): the toolkit puts the whole tooltip in the title.
        _, _, title, text = dbus.Interface(item, dbus.PROPERTIES_IFACE).Get(ITEM, 'ToolTip')
        print('\n'.join(part for part in (str(title), str(text)) if part))
        return 0
    path = dbus.Interface(item, dbus.PROPERTIES_IFACE).Get(ITEM, 'Menu')
    menu = dbus.Interface(bus.get_object(service, path), MENU)
    menu.AboutToShow(0)
    _, (_, _, children) = menu.GetLayout(0, -1, ['label', 'type'])
    entries = [(int(child[0]), '-' if child[1].get('type') == 'separator' else str(child[1].get('label', '')))
               for child in children]
    if action == 'menu':
        print(str(path), '|'.join(text for _, text in entries))
        return 0
    ids = [number for number, text in entries if text == label]
    if not ids:
        print('no menu entry', label, file=sys.stderr)
        return 1
    menu.Event(ids[0], 'clicked', dbus.Int32(0, variant_level=1), dbus.UInt32(0))
    return 0


if __name__ == '__main__':
    if sys.argv[1:2] == ['watcher']:
        watch()
    else:
        sys.exit(host(*sys.argv[2:]))
