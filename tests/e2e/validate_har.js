// Validates a HAR file against the HAR 1.2 schema: exit 0 when valid, else 1 with the
// schema's complaints. Run: node validate_har.js TOOLS_FOLDER FILE
'use strict';

const fs = require('node:fs');
const path = require('node:path');

const [tools, file] = process.argv.slice(2);
const validate = require(path.resolve(tools, 'node_modules', 'har-validator'));
validate.har(JSON.parse(fs.readFileSync(file, 'utf8'))).then(
    () => process.exit(0),
    (error) => {
      console.log(JSON.stringify(error.errors || String(error), null, 1));
      process.exit(1);
    });
