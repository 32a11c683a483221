#!/usr/bin/python3
# How often the 95 % intervals of a two-stage pullout fit hold the truth: N
# synthetic draws of the README's eight pullout tests (the law of
# scripts/make-synthetic-pullouts.sh, uniform noise of 0.02 of the peak, a new
# seed per draw), stage 1 (the law from the five straight tests), then stage 2
# (fp0, fd0, strengthReduction from the three inclined ones), stage 2 again
# with --fit-prior (its intervals widened by stage 1's) and, beside them, a
# six-input fit of A, B, D and the three with three straight and the inclined
# tests. Also counts "no effect" warnings, of which there should be none.
#   bench/two_stage_coverage.py build/release 40
import json
import os
import random
import subprocess
import sys
import tempfile

build = os.path.abspath(sys.argv[1])
sys.path.insert(0, os.path.join(build, 'python'))
import fiberbridge  # noqa: E402
CLI = os.path.join(build, 'cli', 'fiberbridge-cli')
work = tempfile.mkdtemp()
law = dict(Aa=0.3, Ba=0.5, Ca=0.01, Da=0.05, A=0.5, B=0.5, C=0.05, D=0.15, fp0=0.6, fd0=0.3, strengthReduction=0.5)
inputs = {}
for line in open('examples/pullout/pva.inputs').read().splitlines():
    if line.strip() and not line.startswith('#'):
        k, v = (p.strip() for p in line.split('=')); inputs[k] = v
inputs.update({k: str(v) for k, v in law.items()})
FIT1 = ['--fit', 'Aa=0.05:2', '--fit', 'Ba=0:1.5', '--fit', 'Ca=0:0.05', '--fit', 'Da=0.005:0.3',
        '--fit', 'A=0.1:3', '--fit', 'B=0:1.5', '--fit', 'C=0:0.2', '--fit', 'D=0.02:1']
FIT2 = ['--fit', 'fp0=0:1.5', '--fit', 'fd0=-0.5:1', '--fit', 'strengthReduction=0:1.5']
FITJ = ['--fit', 'A=0.1:3', '--fit', 'B=0:1.5', '--fit', 'D=0.02:1'] + FIT2
draws = int(sys.argv[2]) if len(sys.argv) > 2 else 40
cover = {'two': {}, 'prior': {}, 'joint': {}}
noeffect = {'two': 0, 'prior': 0, 'joint': 0}
for d in range(draws):
    rnd = random.Random(1000 + d)
    dd = f'{work}/d{d}'; os.makedirs(dd, exist_ok=True)
    files = {}
    for lb, angle in [(1,0),(2,0),(3,0),(4.5,0),(6,0),(3,30),(3,45),(3,60)]:
        slips = [lb * (i / 39) ** 2 for i in range(40)]
        loads = fiberbridge.pullout(lb, angle, slips, **inputs)
        peak = max(loads)
        name = f'{dd}/t{lb}-{angle}.csv'
        with open(name, 'w') as f:
            f.write(f'# lb = {lb:g}\n# angle = {angle:g}\n')
            for s, p in zip(slips, loads):
                f.write(f'{s:.6f},{p + 0.02 * peak * rnd.uniform(-1, 1):.6f}\n')
        files[(lb, angle)] = name
    straight = sum((['--pullout', files[(lb, 0)]] for lb in (1, 2, 3, 4.5, 6)), [])
    inclined = sum((['--pullout', files[(3, a)]] for a in (30, 45, 60)), [])
    base = 'examples/pullout/pva.inputs'
    subprocess.run([CLI, '-q', '--inputs', base] + straight + FIT1 + ['--save-inputs', f'{dd}/law.inputs',
                    '--fit-report', f'{dd}/law.json'], check=True, capture_output=True)
    for kind, args in (('two', inclined + FIT2), ('prior', inclined + FIT2 + ['--fit-prior', f'{dd}/law.json']),
                       ('joint', straight[0:2] + straight[4:6] + straight[8:10] + inclined + FITJ)):
        out = subprocess.run([CLI, '-q', '--inputs', f'{dd}/law.inputs'] + args + ['--fit-report', f'{dd}/{kind}.json'], check=True, capture_output=True, text=True)
        rep = json.load(open(f'{dd}/{kind}.json'))
        if any('no effect' in w['text'] for w in rep['warnings']): noeffect[kind] += 1
        for i in rep['inputs']:
            if i['name'] in ('fp0', 'fd0', 'strengthReduction'):
                c = cover[kind].setdefault(i['name'], [0, 0])
                c[0] += i['low'] <= law[i['name']] <= i['high']; c[1] += 1
for kind, counts in cover.items():
    print(kind, ', '.join(f'{name} {inside}/{total}' for name, (inside, total) in counts.items()))
print('no-effect warnings:', ', '.join(f'{kind} {n}' for kind, n in noeffect.items()), 'of', draws, 'fits each')
subprocess.run(['rm', '-rf', work], check=True)
