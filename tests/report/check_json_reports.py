#!/usr/bin/python3
"""check_json_reports.py SCHEMA FOLDER NAME...: checks the JSON report of each named scenario.

FOLDER/NAME.json must be UTF-8 without a byte-order mark, valid JSON without repeated keys, and
valid against SCHEMA (draft 2020-12, with Debian's python3-jsonschema). Beside it, FOLDER/NAME.txt
is the text report of the same tests: each run must say what its text report says (device
lines, CHECKING lines, error lines in the same order, totals, date, OS line, conclusion), and
FOLDER/NAME.exit, where present, holds the exit code, which is the last run's error total.
"""
import json
import re
import sys

import jsonschema

CONTROL = re.compile(r'[\x00-\x1f\x7f-\x9f\u2028\u2029\ufffd]')


def safe(text):
    """A text as the report line shows it: C0 and C1 controls, the line and paragraph separators
    and replaced halves as '?'."""
    return CONTROL.sub('?', text)


def no_repeated_keys(pairs):
    keys = [k for k, _ in pairs]
    if len(keys) != len(set(keys)):
        raise ValueError('repeated key in %r' % keys)
    return dict(pairs)


def device_line(word, device):
    tag = {'KS': 'KS ', 'MME': 'MME', 'WDM': 'WDM'}.get(device['source'], '---')
    if device['source'] == 'KS':
        line = '%s %s %s | %s | %s' % (word, tag, device['name'], device['hardwareId'], device['interfacePath'])
    else:
        line = '%s %s %s | %s | %s | ICON: %s ' % (word, tag, device['name'], device['hardwareId'],
                                                  device['endpointGuid'], device['iconPath'])
    return safe(line)


def reports(text):
    """The text reports of a session, each from its INPUT DEVICE line to its CONCLUSION line, and
    the lines of the fixes made before each ("FIX ...")."""
    found, fixes, current, before = [], [], None, []
    # No line of a report holds a CR of its own, so any line ending will do.
    for line in text.replace('\r', '').split('\n'):
        if line.startswith('INPUT DEVICE: '):
            current = []
            fixes.append(before)
            before = []
        if current is not None:
            current.append(line)
            if line.startswith('CONCLUSION: '):
                found.append(current)
                current = None
        elif line.startswith('FIX '):
            before.append(line)
    return found, fixes


def compare(run, lines, problems):
    def expect(what, wanted, got):
        if wanted == got:
            return
        if isinstance(wanted, list) and isinstance(got, list):
            at = next((i for i, (a, b) in enumerate(zip(wanted, got)) if a != b), min(len(wanted), len(got)))
            what = '%s (%d in text, %d in JSON; first difference at %d)' % (what, len(wanted), len(got), at)
            wanted, got = wanted[at:at + 1], got[at:at + 1]
        problems.append('%s: text %r, JSON %r' % (what, wanted, got))

    at = 0
    for word, key, count_line in (('IN', 'recordingDevices', 'INPUT DEVICE: '),
                                  ('OUT', 'playbackDevices', 'OUTPUT DEVICE: ')):
        devices = run[key]
        expect(key + ' count', lines[at], count_line + str(len(devices)))
        text_devices = lines[at + 2:at + 2 + len(devices)]
        for text_line, device in zip(text_devices, devices):
            expect(key + ' line', safe(text_line), device_line(word, device))
        at += 2 + len(devices) + 1
    body = lines[at:]
    expect('CHECKING lines', [l for l in body if l.startswith('CHECKING ')], [d['line'] for d in run['drivers']])
    expect('error lines', [l for l in body if l.startswith('   *ERROR ') and not l.startswith('   *ERROR TOTAL')],
           [f['line'] for d in run['drivers'] for f in d['findings'] if f['line'] is not None])
    expect('driver totals', [l for l in body if l.startswith('   *ERROR TOTAL FOUND: ')],
           ['   *ERROR TOTAL FOUND: %d' % d['errorCount'] for d in run['drivers']
            if d['state'] == 'checked' and d['errorCount'] > 0])
    expect('error total', run['errorTotal'], sum(d['errorCount'] for d in run['drivers']))
    for d in run['drivers']:
        if d['state'] == 'checked':
            expect(d['name'] + ' findings', d['errorCount'], len(d['findings']))
    for d in run['drivers']:
        # A row is fine exactly when it counts no error; a row that is not, and every finding, has a cause.
        expect(d['name'] + ' cause', d['errorCount'] == 0, d['cause'] == 'none')
        if d['cause'] != 'none' and not d['steps']:
            problems.append('%s: cause %s without steps' % (d['name'], d['cause']))
        # Every cause of the row, its own first, each with steps.
        expect(d['name'] + ' causes', [d['cause']] if d['cause'] != 'none' else [], [c['cause'] for c in d['causes']][:1])
        for c in d['causes']:
            if not c['steps']:
                problems.append('%s: cause %s without steps' % (d['name'], c['cause']))
        for f in d['findings']:
            if f['cause'] == 'none':
                problems.append('%s: a finding without a cause' % d['name'])
        no_version = d['state'] in ('notInstalled', 'driverNotResponding', 'installedNotRunning', 'installedNotAnswering')
        expect(d['name'] + ' versionFound null', no_version, d['versionFound'] is None)
    integrity = run['checkerIntegrity']
    expect('checker integrity', run['initializationValue'] == 0, integrity is None)
    responding = [f for d in run['drivers'] for f in d['findings'] if f['kind'] == 'notResponding']
    paths = [s['interfacePath'] for s in run['silentFilters']]
    for f in responding:
        if f['value'] not in paths:
            problems.append('notResponding finding of %r names no silent filter' % f['value'])
    conclusion = ('CONCLUSION: OK (nothing bad detected)' if run['errorTotal'] == 0 else
                  'CONCLUSION: %d error detected (You may consider re-installing audio drivers)' % run['errorTotal'])
    expect('conclusion', lines[-1], conclusion)
    expect('conclusion word', run['conclusion'], 'ok' if run['errorTotal'] == 0 else 'errorsDetected')
    expect('initialization value', lines[-4], 'Initialization value: %d' % run['initializationValue'])
    date = re.match(r'(\d{4})-(\d\d)-(\d\d)T(\d\d):(\d\d):(\d\d)Z$', run['testDate']).groups()
    expect('test date', lines[-3], 'TEST DATE: %s/%s/%s - %s:%s:%s (Checker Version %s)' % (date + (run['checkerVersion'],)))
    windows = run['windows']
    expect('OS line', lines[-2], 'Operating System: %s %dBits Build: %d' % (windows['class'], windows['bits'],
                                                                          windows['build']))


def check(schema, folder, name):
    problems = []
    raw = open('%s/%s.json' % (folder, name), 'rb').read()
    if raw.startswith(b'\xef\xbb\xbf'):
        problems.append('starts with a byte-order mark')
    document = json.loads(raw.decode('utf-8'), object_pairs_hook=no_repeated_keys)
    for error in jsonschema.Draft202012Validator(schema).iter_errors(document):
        problems.append('schema: %s at %s' % (error.message[:200], list(error.absolute_path)))
    try:
        text = open('%s/%s.txt' % (folder, name), encoding='utf-8-sig', newline='').read()
    except FileNotFoundError:
        text = None
    if text is not None:
        texts, fix_lines = reports(text)
        if len(texts) != len(document['runs']):
            problems.append('%d text reports, %d runs' % (len(texts), len(document['runs'])))
        for run, lines, fixes in zip(document['runs'], texts, fix_lines):
            compare(run, lines, problems)
            # The fixes made before a run: a line each in the text, in order.
            made = [f['line'] for f in run['fixes'] or []]
            if made != fixes:
                problems.append('fix lines: text %r, JSON %r' % (fixes, made))
            if any(f['outcome'] == 'restartNeeded' for f in run['fixes'] or []) and not run['restartNeeded']:
                problems.append('a fix needs a restart the run does not say')
    try:
        code = int(open('%s/%s.exit' % (folder, name)).read())
        if document['runs'] and code != document['runs'][-1]['errorTotal'] % 256:
            problems.append('exit code %d, error total %d' % (code, document['runs'][-1]['errorTotal']))
    except FileNotFoundError:
        pass
    runs = document.get('runs', [])
    summary = '%d runs, %d findings' % (len(runs), sum(len(d['findings']) for r in runs for d in r['drivers']))
    return problems, summary


def main():
    schema = json.load(open(sys.argv[1]))
    jsonschema.Draft202012Validator.check_schema(schema)
    failed = False
    for name in sys.argv[3:]:
        try:
            problems, summary = check(schema, sys.argv[2], name)
        except (OSError, ValueError, KeyError, TypeError, AttributeError) as error:
            problems, summary = ['%s: %s' % (type(error).__name__, error)], ''
        failed = failed or bool(problems)
        print('%s %s %s' % ('FAIL' if problems else 'ok  ', name, summary))
        for problem in problems[:20]:
            print('     ' + problem)
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main())
