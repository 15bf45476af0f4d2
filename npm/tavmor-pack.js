#!/usr/bin/env node
// tavmor-pack on npm: runs the native tavmor-pack of the package for this
// platform, which npm installs as the one optional dependency whose os and
// cpu match, with this script's arguments, standard streams and exit status.
// Where no package fits, or npm left it out, it says so in one line and
// exits 1, as the tool does for a problem with its input.
'use strict';
const childProcess = require('child_process');

const scope = '@tavmor-pack/';

// Writes one line to stderr and gives the exit status. The status is set
// rather than exited with, so that a pipe on Windows, written to
// asynchronously, still receives the whole line.
function fail(message) {
  process.stderr.write(`tavmor-pack: ${message}\n`);
  return 1;
}

function main() {
  // The platforms with a package: the optional dependencies that
  // scripts/release wrote into this package's package.json.
  const platforms = Object.keys(require('../package.json').optionalDependencies || {}).map(
    (name) => name.slice(scope.length)
  );
  const platform = `${process.platform}-${process.arch}`;
  if (!platforms.includes(platform)) {
    return fail(`no binary for ${platform}; tavmor-pack has packages for ${platforms.join(', ')}`);
  }
  const name = process.platform === 'win32' ? 'tavmor-pack.exe' : 'tavmor-pack';
  let binary;
  try {
    binary = require.resolve(`${scope}${platform}/bin/${name}`);
  } catch (error) {
    return fail(`${scope}${platform} is not installed: install tavmor-pack again, ` +
                'without leaving out optional dependencies');
  }
  const result = childProcess.spawnSync(binary, process.argv.slice(2), { stdio: 'inherit' });
  if (result.error) return fail(`cannot start ${binary}: ${result.error.message}`);
  if (result.signal) {
    // End the way the tool ended, so that the caller sees the same signal.
    process.kill(process.pid, result.signal);
    return 1;
  }
  return result.status;
}

process.exitCode = main();
