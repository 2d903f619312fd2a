#!/usr/bin/env python3
"""Include cycles of the stand-in host (host/src, host/include/host, host/sdk/max).

  host_include_cycles.py [--concerns [--sdk]] [--why] [REPO [LAYOUT]]   (REPO: this checkout)

Units (default): a unit is a header and the sources of the same name (max/param_block2.h
with param_block2.cpp); a stand-in header that only declares the stand-in's extras of an
SDK header (host/message_pump.h beside max/timer.h) belongs to that header's unit; a source
with no header of its name is a unit of its own. Unit A depends on unit B when a file of A
includes B's header.

--concerns: the nodes are the folders of host/src (base, params, scene, ...). A source or
private header belongs to its folder, a stand-in header (include/host) to the folder that
implements it. SDK headers are the interface layer under all of them and no node, unless
--sdk: then an SDK header belongs to the folder of the source of its name (or, for the few
with none, the folder whose types it declares), and only includes between SDK headers (the
SDK's own shape) are left out. For a flat host/src (before the folders), LAYOUT names a
checkout with the folders, from which each file's concern is learnt by its name.

Prints the strongly connected components of more than one node; --why lists the includes
behind each edge inside them.
"""
import os
import re
import sys

args = [a for a in sys.argv[1:] if not a.startswith('--')]
flags = {a for a in sys.argv[1:] if a.startswith('--')}
if len(args) > 2 or flags - {'--concerns', '--sdk', '--why'}:
    sys.exit(__doc__)
root = os.path.abspath(args[0] if args else os.path.join(os.path.dirname(__file__), '..'))
layout = os.path.abspath(args[1]) if len(args) > 1 else root
include_re = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)

# Stand-in headers by the folder that implements them.
STAND_IN = {'builtin_objects': 'scene', 'class_registry': 'base', 'frame_windows': 'render', 'host_app': 'runtime',
            'image_files': 'io/image', 'missing_classes': 'scene', 'module_loader': 'runtime',
            'preview_renderer': 'render', 'sample_shade_context': 'render', 'scene': 'scene', 'scene_file': 'io',
            'scene_io': 'io', 'scene_settings': 'base', 'std_materials': 'scene', 'text': 'base', 'ui_model': 'ui',
            'utility_panel': 'ui', 'undo_snapshots': 'scene', 'bitmap_errors': 'render', 'core_interfaces': 'script',
            'message_pump': 'runtime', 'notifications': 'base', 'script_engine': 'script', 'undo_history': 'scene',
            'unit_scale': 'base', 'viewport': 'ui', 'mouse_create': 'runtime', 'storm_helper': 'scene', 'wind_export': 'io'}
# Stand-in headers that declare the stand-in's extras of an SDK header, by that header's unit.
EXTRAS_OF = {'bitmap_errors': 'bitmap', 'core_interfaces': 'ifnpub', 'message_pump': 'timer',
             'notifications': 'notify', 'script_engine': 'maxscript', 'undo_history': 'hold', 'unit_scale': 'units'}
# SDK headers with no source of their name, by the folder whose types they declare.
SDK_ONLY = {'ifnpub': 'script', 'interval': 'base', 'key_track': 'params', 'material': 'scene', 'max_types': 'base',
            'plugin_api': 'runtime', 'point3': 'base', 'render': 'render', 'shade_context': 'render',
            'utility_obj': 'ui', 'win_ui': 'ui'}

files = []
for top in ('host/src', 'host/include', 'host/sdk'):
    for d, _, names in os.walk(os.path.join(root, top)):
        files += [os.path.join(d, n) for n in names if n.endswith(('.h', '.cpp'))]
file_set = set(files)
folder_of_name = {}
for d, _, names in os.walk(os.path.join(layout, 'host/src')):
    for n in names:
        folder_of_name[n] = os.path.relpath(d, os.path.join(layout, 'host/src'))


def stem(p):
    return os.path.splitext(os.path.basename(p))[0]


headers = {stem(f) for f in files if f.endswith('.h')}


def unit(p):
    if stem(p) in EXTRAS_OF and '/include/host/' in p:
        return EXTRAS_OF[stem(p)]
    return stem(p) if p.endswith('.h') or stem(p) in headers else stem(p) + '.cpp'


def concern(p):
    parts = os.path.relpath(p, os.path.join(root, 'host')).split(os.sep)
    if parts[0] == 'sdk':
        if '--sdk' not in flags:
            return None
        return folder_of_name.get(stem(p) + '.cpp') or SDK_ONLY[stem(p)]
    if parts[0] == 'include':
        return 'script' if parts[2] == 'script' else STAND_IN.get(stem(p), '?' + stem(p))
    return '/'.join(parts[1:-1]) or folder_of_name.get(parts[-1], '?' + parts[-1])


def resolve(src, name):
    for base in (os.path.dirname(src), os.path.join(root, 'host/include'), os.path.join(root, 'host/sdk')):
        p = os.path.normpath(os.path.join(base, name))
        if p in file_set:
            return p
    return None


node_of = concern if '--concerns' in flags else unit
edges, why = {}, {}
for f in files:
    a = node_of(f)
    if a is None or ('--concerns' in flags and '/sdk/' in f):
        continue
    edges.setdefault(a, set())
    for name in include_re.findall(open(f, encoding='utf-8').read()):
        t = resolve(f, name)
        b = node_of(t) if t else None
        if b and b != a:
            edges[a].add(b)
            edges.setdefault(b, set())
            why.setdefault((a, b), []).append(f'{os.path.basename(f)} -> {name}')

index, low, on_stack, stack, components = {}, {}, set(), [], []


def connect(v):
    index[v] = low[v] = len(index)
    stack.append(v)
    on_stack.add(v)
    for w in edges[v]:
        if w not in index:
            connect(w)
            low[v] = min(low[v], low[w])
        elif w in on_stack:
            low[v] = min(low[v], index[w])
    if low[v] == index[v]:
        component = []
        while True:
            w = stack.pop()
            on_stack.discard(w)
            component.append(w)
            if w == v:
                break
        components.append(sorted(component))


sys.setrecursionlimit(10000)
for v in sorted(edges):
    if v not in index:
        connect(v)
cycles = sorted((c for c in components if len(c) > 1), key=len, reverse=True)
print(f'{len(edges)} nodes, {sum(len(e) for e in edges.values())} edges, '
      f'{len(cycles)} cycles, largest {len(cycles[0]) if cycles else 0}')
for c in cycles:
    print(f'cycle of {len(c)}: ' + ' '.join(c))
    if '--why' in flags:
        for a in c:
            for b in sorted(edges[a] & set(c)):
                print(f'    {a} -> {b}: ' + '; '.join(why[(a, b)]))
if '--concerns' in flags:
    for a in sorted(edges):
        print(f'  {a} -> {", ".join(sorted(edges[a]))}')
