// The script of serve's page, linted by ESLint's recommended rules.
//     node lint_page.mjs
//
// The page's script parts share one scope in the page (host/commands/page/page.html joins them
// into one <script>), so they are linted as that one script, joined in the page's order, and each
// problem is told at its part's own file and line. One line a problem; exit 0 when there is none,
// 1 when there is, 2 when the page or a part cannot be read.
import { readFile } from 'node:fs/promises';
import path from 'node:path';
import process from 'node:process';
import { fileURLToPath } from 'node:url';
import js from '@eslint/js';
import { ESLint } from 'eslint';
import globals from 'globals';

const repo = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');
const pageFolder = path.join(repo, 'host/commands/page');

// The script parts in the order the page includes them.
async function scriptParts() {
  const page = await readFile(path.join(pageFolder, 'page.html'), 'utf8');
  return [...page.matchAll(/^@include (\S+\.js)$/gm)].map((match) => match[1]);
}

async function main() {
  const parts = await scriptParts();
  if (parts.length === 0) throw new Error('host/commands/page/page.html includes no script part');
  let text = '';
  const starts = [];  // [first line of the part in the joined script, its path]
  for (const part of parts) {
    const content = await readFile(path.join(pageFolder, part), 'utf8');
    starts.push([text.split('\n').length, path.join('host/commands/page', part)]);
    text += content;
  }
  const eslint = new ESLint({
    cwd: repo,
    overrideConfigFile: true,
    overrideConfig: [
      js.configs.recommended,
      {
        languageOptions: {
          ecmaVersion: 2022,
          sourceType: 'script',
          globals: globals.browser,
        },
        linterOptions: { reportUnusedDisableDirectives: 'error' },
      },
    ],
  });
  const [result] = await eslint.lintText(text);
  const where = (line) => {
    let found = starts[0];
    for (const start of starts) if (start[0] <= line) found = start;
    return `${found[1]}:${line - found[0] + 1}`;
  };
  for (const message of result.messages) {
    console.log(`${where(message.line)}:${message.column}: ${message.message}` +
                (message.ruleId ? ` (${message.ruleId})` : ''));
  }
  if (result.messages.length !== 0) return 1;
  console.log(`lint_page: ${parts.length} script parts, ${text.split('\n').length - 1} lines, ` +
              'no problems');
  return 0;
}

main().then((code) => process.exit(code), (error) => {
  console.error(`lint_page: ${error.message}`);
  process.exit(2);
});
