"""The example product's winget manifest: valid against winget's published
schema (kept in examples/winget/schema), with the program's one version and
every exit status winget must not count a failure. Run with Debian's python3
(python3-yaml, python3-jsonschema): /usr/bin/python3 tests/release/manifest_test.py"""
import json
import os
import unittest

import jsonschema
import yaml

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..'))
WINGET = os.path.join(ROOT, 'examples', 'winget')


class Manifest(unittest.TestCase):
    def setUp(self):
        with open(os.path.join(WINGET, 'Vantorin.VantorinPrint.yaml')) as f:
            self.manifest = yaml.safe_load(f)
        with open(os.path.join(WINGET, 'schema', 'manifest.singleton.%s.json' % self.manifest['ManifestVersion'])) as f:
            self.schema = json.load(f)
        with open(os.path.join(ROOT, 'VERSION')) as f:
            self.version = f.read().strip()

    def test_valid_against_winget_schema(self):
        jsonschema.validators.validator_for(self.schema)(self.schema).validate(self.manifest)

    def test_one_version_silent_switch_and_return_codes(self):
        self.assertEqual(self.manifest['PackageVersion'], self.version)
        with open(os.path.join(ROOT, 'README.md'), encoding='utf-8') as f:
            self.assertIn('ZEVUnins ' + self.version, f.read())
        (installer,) = self.manifest['Installers']
        self.assertEqual(installer['InstallerSwitches']['Silent'], '/S')
        self.assertEqual(installer['ElevationRequirement'], 'elevationRequired')
        codes = {c['InstallerReturnCode']: c['ReturnResponse'] for c in installer['ExpectedReturnCodes']}
        self.assertEqual(codes, {3010: 'rebootRequiredToFinish', 1618: 'installInProgress',
                                 1602: 'cancelledByUser', 1621: 'invalidParameter'})


if __name__ == '__main__':
    unittest.main()
